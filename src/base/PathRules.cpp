#include "base/PathRules.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>

// --- ASCII helpers ------------------------------------------------------------------------------

char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string ToLowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = ToLowerAscii(c);
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// --- Normalisation ------------------------------------------------------------------------------

void NormalizePath(std::string& path, bool leadingSlash, bool trailingSlash) {
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty()) {
        if (leadingSlash || trailingSlash) {
            path = "/";
        }
        return;
    }
    // A drive letter ("C:") never takes a leading slash. Only a letter counts, so that a path
    // that got its slash ("/:x") keeps it when normalised again.
    const char first = ToLowerAscii(path[0]);
    if (path.size() >= 2 && path[1] == ':' && first >= 'a' && first <= 'z') {
        leadingSlash = false;
    }
    if (leadingSlash) {
        if (path.front() != '/') {
            path.insert(path.begin(), '/');
        }
    } else if (path.front() == '/') {
        path.erase(0, 1);
    }
    if (trailingSlash) {
        if (path.empty() || path.back() != '/') {
            path.push_back('/');
        }
    } else if (!path.empty() && path.back() == '/' && !(leadingSlash && path.size() == 1)) {
        // A lone "/" is the leading slash that was asked for; removing it as a trailing one
        // would make a second normalisation give a different answer than the first.
        path.pop_back();
    }
}

void NormalizeLocalPath(std::string& path, bool trailingSlash) {
    std::replace(path.begin(), path.end(), '\\', '/');
    const bool absolute = !path.empty() && path.front() == '/';
    if (absolute && path.size() == 1) {
        // The file-system root itself: nothing to strip.
        return;
    }
    NormalizePath(path, absolute, trailingSlash);
}

// --- Splitting ----------------------------------------------------------------------------------

namespace {

std::size_t LastSeparator(std::string_view path) {
    std::size_t pos = path.rfind('/');
    if (pos == std::string_view::npos) {
        pos = path.rfind('\\');
    }
    return pos;
}

// Position of the last "." when it comes after the last "/", else npos.
std::size_t ExtensionDot(std::string_view name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return dot;
    }
    std::size_t slash = name.rfind('/');
    if (slash != std::string_view::npos && slash > dot) {
        return std::string_view::npos;
    }
    return dot;
}

bool IsHtmExtension(std::string_view ext) {
    return EqualsNoCase(ext, "htm") || EqualsNoCase(ext, "html");
}

}  // namespace

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    std::size_t sep = LastSeparator(path);
    std::string_view rest = path;
    if (sep != std::string_view::npos) {
        parts.directory.assign(path.substr(0, sep));
        rest = path.substr(sep + 1);
    }
    std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos) {
        parts.title.assign(rest);
    } else {
        parts.title.assign(rest.substr(0, dot));
        parts.extension.assign(rest.substr(dot + 1));
    }
    return parts;
}

std::string DirectoryOf(std::string_view path) {
    return SplitPath(path).directory;
}
std::string FileTitleOf(std::string_view path) {
    return SplitPath(path).title;
}
std::string ExtensionOf(std::string_view path) {
    return SplitPath(path).extension;
}

std::string FileNameOf(std::string_view path) {
    std::size_t sep = LastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string GetExtension(std::string_view name) {
    std::size_t dot = ExtensionDot(name);
    if (dot == std::string_view::npos) {
        return std::string();
    }
    std::string_view ext = name.substr(dot + 1);
    std::size_t query = ext.find('?');
    if (query != std::string_view::npos) {
        ext = ext.substr(0, query);
    }
    return std::string(ext);
}

bool HasQuery(std::string_view name) {
    return name.find('?') != std::string_view::npos;
}

// --- Classifying --------------------------------------------------------------------------------

bool IsPageName(std::string_view name) {
    std::size_t dot = ExtensionDot(name);
    if (dot == std::string_view::npos) {
        return false;
    }
    std::string_view ext = name.substr(dot + 1);
    return IsHtmExtension(ext) || EqualsNoCase(ext, "asp");
}

bool IsPageLink(std::string_view name) {
    if (name.size() <= 4) {
        return false;
    }
    return EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".asp") ||
           EndsWithNoCase(name, ".html");
}

// --- Name equality ------------------------------------------------------------------------------

bool SameName(std::string_view a, std::string_view b) {
    std::size_t da = a.rfind('.');
    std::size_t db = b.rfind('.');
    if (da != db) {
        return false;
    }
    if (da == std::string_view::npos) {
        return EqualsNoCase(a, b);
    }
    if (!EqualsNoCase(a.substr(0, da), b.substr(0, db))) {
        return false;
    }
    std::string_view ea = a.substr(da + 1);
    std::string_view eb = b.substr(db + 1);
    if (IsHtmExtension(ea) && IsHtmExtension(eb)) {
        return true;
    }
    return EqualsNoCase(ea, eb);
}

namespace {

// Feeds the characters of the SameName key of a name to sink, in order, without building it:
// the lowered name when it has no dot, else the lowered stem, ".", and the lowered extension
// with "html" folded to "htm".
template <typename Sink>
void ForEachKeyChar(std::string_view name, Sink&& sink) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        for (char c : name) {
            sink(ToLowerAscii(c));
        }
        return;
    }
    for (std::size_t i = 0; i <= dot; ++i) {
        sink(ToLowerAscii(name[i]));
    }
    std::string_view ext = name.substr(dot + 1);
    if (IsHtmExtension(ext)) {
        ext = "htm";
    }
    for (char c : ext) {
        sink(ToLowerAscii(c));
    }
}

}  // namespace

std::string SameNameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    ForEachKeyChar(name, [&key](char c) { key.push_back(c); });
    return key;
}

std::size_t SameNameHash(std::string_view name) {
    // FNV-1a over the key's characters.
    std::uint64_t h = 14695981039346656037ull;
    ForEachKeyChar(name, [&h](char c) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    });
    // A final avalanche, so that the low bits that pick a hash table's slot depend on every
    // character, as TextHash's do.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return static_cast<std::size_t>(h);
}

// --- URLs ---------------------------------------------------------------------------------------

bool ParseUrl(std::string_view url, std::string& scheme, std::string& host, std::string& path) {
    scheme = "none";
    host.clear();
    path.clear();
    if (!url.empty() && url.front() == '/') {
        scheme = "http";
        path.assign(url);
        return true;
    }
    std::size_t sep = url.find("://");
    if (sep != std::string_view::npos) {
        scheme.assign(url.substr(0, sep));
        std::string_view rest = url.substr(sep + 3);
        std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) {
            path.assign(rest);
        } else {
            host.assign(rest.substr(0, slash));
            path.assign(rest.substr(slash));
        }
    } else {
        path.assign(url);
    }
    scheme = ToLowerAscii(scheme);
    return scheme != "none";
}

std::string ResolveLink(std::string_view domain, std::string_view basePage, std::string_view link) {
    std::size_t sep = link.find("://");
    if (sep != std::string_view::npos) {
        std::string_view rest = link.substr(sep + 3);
        std::size_t slash = rest.find('/');
        std::string_view host = slash == std::string_view::npos ? rest : rest.substr(0, slash);
        if (!EqualsNoCase(host, domain)) {
            return std::string();
        }
        link = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    if (!link.empty() && link.front() == '/') {
        return std::string(link);
    }
    std::size_t baseSlash = basePage.rfind('/');
    std::string_view base =
        baseSlash == std::string_view::npos ? std::string_view() : basePage.substr(0, baseSlash);
    for (;;) {
        while (link.size() > 3 && link.substr(0, 3) == "../") {
            link.remove_prefix(3);
            std::size_t cut = base.rfind('/');
            if (cut != std::string_view::npos) {
                base = base.substr(0, cut);
            }
        }
        if (link.size() > 2 && link.substr(0, 2) == "./") {
            link.remove_prefix(2);
            continue;
        }
        break;
    }
    std::string result;
    result.reserve(base.size() + 1 + link.size());
    result.append(base);
    result.push_back('/');
    result.append(link);
    // "/./" becomes "/", repeatedly (dropping the "/." keeps the slash that follows).
    for (std::size_t pos = result.find("/./"); pos != std::string::npos;
         pos = result.find("/./", pos)) {
        result.erase(pos, 2);
    }
    return result;
}

std::string RelativePath(std::string_view fromName, std::string_view toName) {
    std::size_t common = 0;
    while (common < fromName.size() && common < toName.size() &&
           fromName[common] == toName[common]) {
        ++common;
    }
    std::size_t slash = fromName.substr(0, common).rfind('/');
    if (slash == std::string_view::npos) {
        slash = 0;
    }
    std::string_view from = fromName.size() > slash ? fromName.substr(slash + 1) : "";
    std::string_view to = toName.size() > slash ? toName.substr(slash + 1) : "";
    while (from.size() >= 2 && from.substr(0, 2) == "./") {
        from.remove_prefix(2);
    }
    std::string result;
    for (char c : from) {
        if (c == '/') {
            result += "../";
        }
    }
    result.append(to);
    return result;
}

// --- Local files --------------------------------------------------------------------------------

bool ListFiles(const std::string& pattern, StringList& list) {
    std::size_t slash = pattern.rfind('/');
    std::string prefix;
    std::string directory = ".";
    std::string wildcard = pattern;
    if (slash != std::string::npos) {
        prefix = pattern.substr(0, slash + 1);
        directory = slash == 0 ? std::string("/") : pattern.substr(0, slash);
        wildcard = pattern.substr(slash + 1);
    }
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool matched = false;
    StringList found;
    while (struct dirent* entry = readdir(dir)) {
        if (fnmatch(wildcard.c_str(), entry->d_name, 0) != 0) {
            continue;
        }
        matched = true;
        std::string full = prefix + entry->d_name;
        struct stat st;
        if (stat(full.empty() ? "." : full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            continue;
        }
        found.push_back(std::move(full));
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    list.insert(list.end(), found.begin(), found.end());
    return matched;
}

// --- Strings ------------------------------------------------------------------------------------

void Tokenize(std::string_view text, StringList& list, std::string_view delimiters) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = text.find_first_not_of(delimiters, pos);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = text.find_first_of(delimiters, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        list.emplace_back(text.substr(start, end - start));
        pos = end;
    }
}

void RemoveDuplicates(StringList& list) {
    std::unordered_set<std::string_view, SameNameHasher, SameNameEqual> seen;
    seen.reserve(list.size());
    StringList kept;
    kept.reserve(list.size());
    for (std::string& name : list) {
        if (seen.find(std::string_view(name)) == seen.end()) {
            kept.push_back(std::move(name));
            // Views refer into kept's strings, whose buffers no longer move: reserve() above
            // keeps kept from reallocating.
            seen.insert(std::string_view(kept.back()));
        }
    }
    list = std::move(kept);
}

std::ptrdiff_t FindNoCase(const char* text, std::size_t length, std::string_view pattern) {
    if (pattern.empty()) {
        return 0;
    }
    if (text == nullptr || length < pattern.size()) {
        return -1;
    }
    const char first = ToLowerAscii(pattern[0]);
    const std::size_t last = length - pattern.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (ToLowerAscii(text[i]) != first) {
            continue;
        }
        std::size_t k = 1;
        while (k < pattern.size() && ToLowerAscii(text[i + k]) == ToLowerAscii(pattern[k])) {
            ++k;
        }
        if (k == pattern.size()) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

std::ptrdiff_t FindNoCaseZ(const char* text, std::string_view pattern) {
    if (pattern.empty()) {
        return 0;
    }
    if (text == nullptr) {
        return -1;
    }
    const char first = ToLowerAscii(pattern[0]);
    for (std::size_t i = 0; text[i] != '\0'; ++i) {
        if (ToLowerAscii(text[i]) != first) {
            continue;
        }
        std::size_t k = 1;
        // A NUL in the text never equals a pattern character, so the comparison stops at the end.
        while (k < pattern.size() && text[i + k] != '\0' &&
               ToLowerAscii(text[i + k]) == ToLowerAscii(pattern[k])) {
            ++k;
        }
        if (k == pattern.size()) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}
