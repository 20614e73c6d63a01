// Name and path rules: how page and file names found in HTML, logs and settings are normalised,
// split, classified, compared and resolved. Pure functions without state, safe on any thread.
// Case-insensitive comparisons use the ASCII rule.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

using StringList = std::vector<std::string>;

// --- Normalisation -----------------------------------------------------------------------------

// In place: backslashes become "/"; an empty path becomes "/" when either flag is set; a path
// with a drive letter ("C:...") never gets a leading slash; then exactly one slash is added or
// removed at each end as the flags ask. Inner doubled slashes are left alone.
void NormalizePath(std::string& path, bool leadingSlash, bool trailingSlash);

// NormalizePath for a path of the local file system: an absolute path keeps its leading "/" (it
// names the file-system root the way a drive letter would); a relative path gets none.
void NormalizeLocalPath(std::string& path, bool trailingSlash);

// --- Splitting (both "/" and "\" separate; "/" is looked for first) -----------------------------

struct PathParts {
    std::string directory;  // before the last separator, without it
    std::string title;      // the rest up to its last "."
    std::string extension;  // after that ".", without it
};
PathParts SplitPath(std::string_view path);
std::string DirectoryOf(std::string_view path);
std::string FileTitleOf(std::string_view path);
std::string ExtensionOf(std::string_view path);

// The text after the last separator, or the whole path.
std::string FileNameOf(std::string_view path);

// The text after the last "." when that dot follows the last "/", up to a "?" after the dot;
// empty otherwise. "/list.asp?id=3" gives "asp".
std::string GetExtension(std::string_view name);

// The name holds a "?".
bool HasQuery(std::string_view name);

// --- Classifying --------------------------------------------------------------------------------

// The text after the last "." (which must follow the last "/") is htm, html or asp. A query after
// the extension makes it no page name.
bool IsPageName(std::string_view name);

// Longer than 4 characters and ending in ".htm", ".asp" or ".html" (any case).
bool IsPageLink(std::string_view name);

// --- Name equality ------------------------------------------------------------------------------

// The equality of page and file names: last dots at the same position, stems equal ignoring case,
// extensions equal ignoring case, with "htm" and "html" taken as one extension.
bool SameName(std::string_view a, std::string_view b);

// A key such that SameNameKey(a) == SameNameKey(b) exactly when SameName(a, b).
std::string SameNameKey(std::string_view name);

// A hash consistent with SameName (equal names hash equally), computed without allocating.
std::size_t SameNameHash(std::string_view name);

// Function objects for hash containers keyed by names under SameName.
struct SameNameHasher {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return SameNameHash(s); }
};
struct SameNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
};

// --- URLs ---------------------------------------------------------------------------------------

// Splits a URL. A url starting with "/" is an http path. Otherwise "scheme://host/path"; without
// "://" the whole url is the path and the scheme is "none". The scheme is lowered. False exactly
// when the scheme is "none".
bool ParseUrl(std::string_view url, std::string& scheme, std::string& host, std::string& path);

// Resolves a link found in basePage to a site-relative name; empty for a link to another host
// than domain. Leading "../" and "./" are resolved against the base page's directory and "/./"
// is collapsed; other dot segments, fragments and queries stay in the name.
std::string ResolveLink(std::string_view domain, std::string_view basePage, std::string_view link);

// The relative URL from page fromName to toName (both begin with "/").
std::string RelativePath(std::string_view fromName, std::string_view toName);

// --- Local files --------------------------------------------------------------------------------

// Appends the full path of every entry of one local directory that matches the wildcard pattern
// in its last component ("*", "?" and "[...]" as fnmatch), leaving out directories and not
// descending. Entries come sorted by name. False when nothing at all matched (list unchanged);
// true otherwise, even when only directories matched.
bool ListFiles(const std::string& pattern, StringList& list);

// --- Strings ------------------------------------------------------------------------------------

// Appends the pieces of text between any of the delimiter characters; no empty pieces.
void Tokenize(std::string_view text, StringList& list, std::string_view delimiters);

// Keeps the first of every group of names equal under SameName, in order.
void RemoveDuplicates(StringList& list);

// The first position of pattern in the first length bytes of text, ignoring case; -1 if absent.
std::ptrdiff_t FindNoCase(const char* text, std::size_t length, std::string_view pattern);

// The same over a zero-terminated text.
std::ptrdiff_t FindNoCaseZ(const char* text, std::string_view pattern);

// ASCII helpers.
char ToLowerAscii(char c);
// The value of a hexadecimal digit (either case), or -1.
int HexDigitValue(char c);
// Space, tab, CR, LF or form feed: the blanks of HTML, settings lines and typed addresses.
bool IsBlank(char c);
// s without blanks at either end.
std::string_view Trim(std::string_view s);
std::string ToLowerAscii(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
