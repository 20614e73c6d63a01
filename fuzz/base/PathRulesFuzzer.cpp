// Feeds arbitrary names and links to the name and path rules. Besides not crashing, checks the
// properties the page graph relies on: normalising twice equals normalising once, and SameName
// agrees with its key and hash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/PathRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    // Two strings separated by the first newline (the second may be empty).
    std::size_t cut = input.find('\n');
    std::string a = input.substr(0, cut);
    std::string b = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    // Exactly one slash is added or removed at each end, so a path that ends (or starts) with a
    // doubled slash keeps one of them; any result without doubled end slashes is final.
    for (int flags = 0; flags < 4; ++flags) {
        std::string once = a;
        NormalizePath(once, flags & 1, flags & 2);
        std::string twice = once;
        NormalizePath(twice, flags & 1, flags & 2);
        bool doubledEnd = once.size() >= 2 && (once.compare(0, 2, "//") == 0 ||
                                               once.compare(once.size() - 2, 2, "//") == 0);
        // A lone "/" stands for whichever end slash was asked for.
        bool lone = once == "/" && flags != 0;
        bool strayEnd =
            !lone && !once.empty() &&
            ((!(flags & 2) && once.back() == '/') || (!(flags & 1) && once.front() == '/'));
        if (once != twice && !doubledEnd && !strayEnd)
            std::abort();
    }
    std::string local = a;
    NormalizeLocalPath(local, true);
    std::string local2 = local;
    NormalizeLocalPath(local2, true);
    if (local != local2)
        std::abort();

    bool same = SameName(a, b);
    if (same != SameName(b, a))
        std::abort();
    if (same != (SameNameKey(a) == SameNameKey(b)))
        std::abort();
    if (same && SameNameHash(a) != SameNameHash(b))
        std::abort();
    if (!SameName(a, a))
        std::abort();

    std::string scheme, host, path;
    ParseUrl(a, scheme, host, path);
    std::string resolved = ResolveLink("www.example.com", b, a);
    // Base pages are site names: the result of a relative link is one too.
    if (!b.empty() && b[0] == '/' && !resolved.empty() && resolved[0] != '/' &&
        a.find("://") == std::string::npos) {
        std::abort();
    }
    if (!a.empty() && !b.empty() && a[0] == '/' && b[0] == '/') {
        RelativePath(a, b);
    }
    GetExtension(a);
    IsPageName(a);
    IsPageLink(a);
    SplitPath(a);
    FileNameOf(a);
    StringList list;
    Tokenize(a, list, ",; ");
    list.push_back(b);
    RemoveDuplicates(list);
    FindNoCase(a.data(), a.size(), b);
    FindNoCaseZ(a.c_str(), b);
    return 0;
}
