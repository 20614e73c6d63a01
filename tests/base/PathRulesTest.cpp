#include "base/PathRules.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

// In, leading slash, trailing slash, out.
using NormalizeCase = std::tuple<const char*, bool, bool, const char*>;

TEST(PathRules, NormalizePath) {
    const NormalizeCase cases[] = {
        {"C:\\Site\\", false, true, "C:/Site/"},
        {"site/pages", true, true, "/site/pages/"},
        {"", false, false, ""},
        {"", true, false, "/"},
        {"", false, true, "/"},
        {"/a/b/", false, false, "a/b"},
        {"a//b", true, false, "/a//b"},
        {"//a//", false, false, "/a/"},  // only one slash at each end
        {"C:/x", true, false, "C:/x"},   // drive letter: never a leading slash
        {":x", true, false, "/:x"},      // only a letter makes a drive
        {"/:x", true, false, "/:x"},
        {"\\tarvik", true, false, "/tarvik"},
        {"tarvik", true, false, "/tarvik"},
        {"/", false, false, ""},
        {"/", true, false, "/"},  // normalising again gives the same
        {"/", false, true, "/"},
    };
    for (const auto& [in, leading, trailing, out] : cases) {
        std::string p = in;
        NormalizePath(p, leading, trailing);
        EXPECT_EQ(p, out) << "in=" << in << " leading=" << leading;
    }
}

TEST(PathRules, NormalizeLocalPathKeepsTheRoot) {
    const NormalizeCase cases[] = {
        {"/srv/www/", false, false, "/srv/www"},
        {"/srv/www", false, true, "/srv/www/"},
        {"\\srv\\www\\", false, true, "/srv/www/"},
        {"site/www/", false, false, "site/www"},
        {"/", false, false, "/"},
        {"/", false, true, "/"},
    };
    for (const auto& [in, leading, trailing, out] : cases) {
        std::string p = in;
        NormalizeLocalPath(p, trailing);
        EXPECT_EQ(p, out) << "in=" << in;
    }
}

TEST(PathRules, SplittingAndExtensions) {
    EXPECT_EQ(DirectoryOf("/dir/sub/file.tar.gz"), "/dir/sub");
    EXPECT_EQ(FileTitleOf("/dir/sub/file.tar.gz"), "file.tar");
    EXPECT_EQ(ExtensionOf("/dir/sub/file.tar.gz"), "gz");
    EXPECT_EQ(DirectoryOf("C:\\logs\\ex12.log"), "C:\\logs");
    EXPECT_EQ(FileTitleOf("C:\\logs\\ex12.log"), "ex12");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(FileTitleOf("noext"), "noext");
    // "/" is looked for first; a backslash only counts without any "/".
    EXPECT_EQ(FileNameOf("a\\b/c\\d"), "c\\d");
    EXPECT_EQ(FileNameOf("a\\b\\c"), "c");
    EXPECT_EQ(FileNameOf("plain"), "plain");

    EXPECT_EQ(GetExtension("/list.asp?id=3"), "asp");
    EXPECT_EQ(GetExtension("/dir.v2/file"), "");
    EXPECT_EQ(GetExtension("/a/b.HTML"), "HTML");
    EXPECT_EQ(GetExtension("/a/b."), "");
    EXPECT_EQ(GetExtension("/q?x=1.2"), "2");
    EXPECT_TRUE(HasQuery("/a.asp?x"));
    EXPECT_FALSE(HasQuery("/a.asp"));
}

TEST(PathRules, Classifying) {
    const std::tuple<const char*, bool, bool> cases[] = {
        {"/a.htm", true, true},           {".htm", true, false},
        {"/page.asp?x=1", false, false},  {"/x.HTML", true, true},
        {"/dir.html/file", false, false}, {"/a.Asp", true, true},
        {"/a.gif", false, false},         {".html", true, true},
        {"page.html#top", false, false},  {"/a.shtml", false, false},
    };
    for (const auto& [name, pageName, pageLink] : cases) {
        EXPECT_EQ(IsPageName(name), pageName) << name;
        EXPECT_EQ(IsPageLink(name), pageLink) << name;
    }
}

TEST(PathRules, SameName) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"/Index.HTM", "/index.html", true},
        {"/a.gif", "/a.jpg", false},
        {"/a", "/a.html", false},
        {"/Dir/X", "/dir/x", true},
        {"/dir/x", "/dir/y", false},
        {"/a.htm", "/A.HTM", true},
        {"/a.html", "/a.HtMl", true},
        {"index.html", "/index.html", false},
        {"/a.b.c", "/A.B.C", true},
        {"/a.b.c", "/a.bc", false},
        {"htm", "html", false},
        {"/x.asp?id=1", "/X.ASP?ID=1", true},
        {"", "", true},
        {".", ".", true},
        {"/ab", "/a.b", false},           // the key keeps the dot
        {"/a.b.HTML", "/A.B.htm", true},  // only the last dot starts the extension
    };
    for (const auto& [a, b, same] : cases) {
        EXPECT_EQ(SameName(a, b), same) << a << " vs " << b;
        EXPECT_EQ(SameName(b, a), same) << b << " vs " << a;
        EXPECT_EQ(SameNameKey(a) == SameNameKey(b), same) << a << " vs " << b;
        if (same) {
            EXPECT_EQ(SameNameHash(a), SameNameHash(b)) << a;
        }
    }
}

TEST(PathRules, ParseUrl) {
    const std::tuple<const char*, bool, const char*, const char*, const char*> cases[] = {
        {"/a/b.html", true, "http", "", "/a/b.html"},
        {"HTTP://www.Example.com/x.html?q=1", true, "http", "www.Example.com", "/x.html?q=1"},
        {"https://h/", true, "https", "h", "/"},
        {"http://hostonly", true, "http", "", "hostonly"},
        {"page.html", false, "none", "", "page.html"},
        {"", false, "none", "", ""},
        {"NONE://x/y", false, "none", "x", "/y"},
    };
    for (const auto& [url, ok, scheme, host, path] : cases) {
        std::string s, h, p;
        const bool parsed = ParseUrl(url, s, h, p);
        EXPECT_EQ(std::tie(parsed, s, h, p), std::tie(ok, scheme, host, path)) << url;
    }
}

TEST(PathRules, ResolveLink) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/x/y/page.html", "../../z.html", "/z.html"},
        {"/x/y/page.html", "../../../z.html", "/z.html"},
        {"/x/y/page.html", "sub/./z.html", "/x/y/sub/z.html"},
        {"/x/y/page.html", "../", "/x/y/../"},
        {"/x/y/page.html", "http://WWW.SITE.COM/q.html", "/q.html"},
        {"/x/y/page.html", "http://other.com/q.html", ""},
        {"/x/y/page.html", "ftp://www.site.com/q.html", "/q.html"},
        {"/x/y/page.html", "http://www.site.com", "/x/y/"},
        {"/index.html", "a.html", "/a.html"},
        {"/dir/index.html", "sub/page.htm", "/dir/sub/page.htm"},
        {"/x/y/page.html", "/abs.html", "/abs.html"},
        {"/x/y/page.html", "a/../b.html", "/x/y/a/../b.html"},
        {"/x/y/page.html", "././z.html", "/x/y/z.html"},
        {"/x/y/page.html", "./../z.html", "/x/z.html"},
        {"/x/y/page.html", "a/././b.html", "/x/y/a/b.html"},
        {"/x/y/page.html", "page.html#top", "/x/y/page.html#top"},
    };
    for (const auto& [base, link, out] : cases) {
        EXPECT_EQ(ResolveLink("www.site.com", base, link), out) << base << " + " << link;
    }
}

TEST(PathRules, RelativePath) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/a/b/page.html", "/a/c/x.html", "../c/x.html"},
        {"/page.html", "/img/x.gif", "img/x.gif"},
        {"/a/b/c/page.html", "/tarvik", "../../../tarvik"},
        {"/a/page.html", "/a/page2.html", "page2.html"},
        {"/index.html", "/tarvik/fetch0x0.qvf", "tarvik/fetch0x0.qvf"},
        {"/A/x.html", "/a/y.html", "../a/y.html"},
    };
    for (const auto& [from, to, out] : cases) {
        EXPECT_EQ(RelativePath(from, to), out) << from << " -> " << to;
    }
}

TEST(PathRules, TokenizeAndDuplicates) {
    StringList list;
    Tokenize("gif, jpg;;jpeg", list, ",; ");
    EXPECT_EQ(list, (StringList{"gif", "jpg", "jpeg"}));
    list.clear();
    Tokenize(";;,, ", list, ",; ");
    EXPECT_TRUE(list.empty());
    Tokenize("Software/Quorvane/Tarvik/1.0B", list, "/");
    EXPECT_EQ(list, (StringList{"Software", "Quorvane", "Tarvik", "1.0B"}));

    StringList names = {"/A.htm", "/a.html", "/b.gif", "/B.GIF", "/c"};
    RemoveDuplicates(names);
    EXPECT_EQ(names, (StringList{"/A.htm", "/b.gif", "/c"}));
}

TEST(PathRules, FindNoCase) {
    const char text[] = "abc<BODY onLoad=x>\0<body>";
    EXPECT_EQ(FindNoCase(text, sizeof text - 1, "<body"), 3);
    EXPECT_EQ(FindNoCase(text, sizeof text - 1, "ONLOAD"), 9);
    EXPECT_EQ(FindNoCase(text, 5, "<body"), -1);  // bounded by the length
    // The zero-terminated form stops at the first zero byte.
    EXPECT_EQ(FindNoCaseZ(text, "<BODY>"), -1);
    EXPECT_EQ(FindNoCaseZ(text, "x>"), 16);
    EXPECT_EQ(FindNoCase(text + 18, 7, "<BODY>"), 1);
    EXPECT_EQ(FindNoCaseZ("", "a"), -1);
    EXPECT_EQ(FindNoCaseZ("aaa", "aaaa"), -1);
}

TEST(PathRules, ListFiles) {
    namespace fs = std::filesystem;
    CTempDir scratch("listfiles");
    fs::path dir = scratch.Path();
    fs::create_directories(dir / "sub.qvs");
    for (const char* name : {"b.qvs", "a.qvs", "noext", "c.log"}) {
        std::ofstream(dir / name) << "x";
    }
    StringList list = {"keep"};
    ASSERT_TRUE(ListFiles(dir.string() + "/*.qvs", list));
    EXPECT_EQ(list, (StringList{"keep", (dir / "a.qvs").string(), (dir / "b.qvs").string()}));

    StringList all;
    ASSERT_TRUE(ListFiles(dir.string() + "/*.*", all));
    EXPECT_EQ(all.size(), 3u);  // the directory sub.qvs is left out; "noext" has no dot

    StringList none = {"unchanged"};
    EXPECT_FALSE(ListFiles(dir.string() + "/*.zip", none));
    EXPECT_EQ(none, (StringList{"unchanged"}));
    EXPECT_FALSE(ListFiles(dir.string() + "/missing/*.log", none));

    // Only a directory matched: true, nothing listed.
    StringList dirs;
    EXPECT_TRUE(ListFiles(dir.string() + "/sub.*", dirs));
    EXPECT_TRUE(dirs.empty());
}

}  // namespace
