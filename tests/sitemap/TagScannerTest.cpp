#include "sitemap/TagScanner.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// What a page references, each name after its kind: "a" a link, "f" a frame, "i" an image.
struct ScanCase {
    const char* what;
    const char* page;
    std::string html;
    StringList found;
};

class TagScannerTable : public testing::TestWithParam<ScanCase> {};

TEST_P(TagScannerTable, FindsWhatThePageReferences) {
    const ScanCase& c = GetParam();
    CTagScanner scanner("www.example.com");
    StringList lists[3];
    scanner.ScanAll(c.page, c.html, lists[0], lists[1], lists[2]);
    StringList found;
    for (int kind = 0; kind < 3; ++kind) {
        for (const std::string& name : lists[kind])
            found.push_back(std::string(1, "afi"[kind]) + " " + name);
    }
    EXPECT_EQ(found, c.found);
}

const ScanCase kCases[] = {
    {"relative link in a directory",
     "/dir/index.html",
     R"(<A HREF="sub/page.htm">x</A>)",
     {"a /dir/sub/page.htm"}},
    {"lower case tag and attribute", "/index.html", R"(<a href="Page.HTML">)", {"a /Page.HTML"}},
    {"unquoted value is not seen", "/index.html", "<a href=page.html>", {}},
    {"single quotes are not seen", "/index.html", "<a href='page.html'>", {}},
    {"another host is dropped, our own host gives its path",
     "/index.html",
     R"(<a href="http://other.org/x.html"><a href="http://WWW.EXAMPLE.COM/y.html">)",
     {"a /y.html"}},
    {"images and embedded objects, duplicates once",
     "/index.html",
     R"(<IMG SRC="logo.gif"><embed src="movie.swf"><img src="logo.gif">)",
     {"i /logo.gif", "i /movie.swf"}},
    {"mailto and query links are no page links",
     "/index.html",
     R"(<a href="mailto:someone"><a href="page.asp?id=2"><a href="p.html#top">)",
     {}},
    {"frames; FRAMESET without SRC gives nothing",
     "/index.html",
     R"(<FRAMESET cols="1,2"><FRAME SRC="left.htm"><frame src="right.htm"></FRAMESET>)",
     {"f /left.htm", "f /right.htm"}},
    {"the page ends at a zero byte",
     "/index.html",
     std::string(R"(<a href="a.html">)") + '\0' + R"(<a href="b.html">)",
     {"a /a.html"}},
    {"the tag name is a prefix: AREA and ADDRESS count",
     "/index.html",
     R"(<area href="map.html"><address href="addr.htm">)",
     {"a /map.html", "a /addr.htm"}},
    {"the attribute matches inside another name: LOWSRC",
     "/index.html",
     R"(<img lowsrc="low.gif" src="high.gif">)",
     {"i /low.gif"}},
    {"a quoted value after an unquoted one is taken",
     "/index.html",
     R"(<a href=x.html title="t.html">)",
     {"a /t.html"}},
    {"the second quote must come before the tag's end",
     "/index.html",
     R"(<a href="a>b.html"> <img src="i>.gif">)",
     {}},
    {"a tag without an end gives nothing", "/index.html", R"(<a href="a.html")", {}},
    {"the attribute is looked for past the tag's end",
     "/index.html",
     R"(<a name="n"> <b href="b.html">)",
     {}},
    {"comments and scripts are scanned like text",
     "/index.html",
     R"(<!-- <a href="old.html"> --><script>w("<a href=\"s.htm\">")</script>)",
     {"a /old.html"}},
    {"values are neither decoded nor trimmed",
     "/index.html",
     R"(<a href=" sp.html"><a href="a%20b.html"><a href="x&amp;y.htm">)",
     {"a / sp.html", "a /a%20b.html", "a /x&amp;y.htm"}},
    {"dot segments at the front resolve, others stay",
     "/x/y/page.html",
     R"(<a href="../z.html"><a href="./w.html"><a href="sub/../v.html"><a href="/abs.asp">)",
     {"a /x/z.html", "a /x/y/w.html", "a /x/y/sub/../v.html", "a /abs.asp"}},
    {"names equal under SameName are one",
     "/index.html",
     R"(<a href="A.htm"><a href="a.HTML"><a href="b.asp">)",
     {"a /A.htm", "a /b.asp"}},
    {"an image is taken whatever its type",
     "/index.html",
     R"(<img src="pic.php?id=1">)",
     {"i /pic.php?id=1"}},
    {"a page-like value must be longer than its ending",
     "/index.html",
     R"(<a href=".htm"><a href="x.htm">)",
     {"a /x.htm"}},
    {"empty page", "/index.html", "", {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, TagScannerTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ScanCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

TEST(TagScanner, EveryScanResolvesTheWholeList) {
    // Each scan resolves the list it was given again after adding its own values, so an image
    // name that still holds "://" after the IMG scan is resolved a second time by the EMBED scan.
    CTagScanner scanner("www.example.com");
    StringList links, frames, images;
    scanner.ScanAll("/index.html",
                    R"(<img src="http://www.example.com/p?u=http://www.example.com/z.gif">)", links,
                    frames, images);
    EXPECT_EQ(images, StringList{"/z.gif"});
}

TEST(TagScanner, ResolveListDropsLinksOutsideTheSite) {
    CTagScanner scanner("site.org");
    StringList list{"http://a.org/x.html", "a.html", "ftp://b.org/y.gif", "ftp://site.org/z.gif",
                    "../b.html"};
    scanner.ResolveList("/d/p.html", list);
    EXPECT_EQ(list, (StringList{"/d/a.html", "/z.gif", "/b.html"}));
}

// The scanning rules read literally: every search runs to the end of the text, and a tag
// without ">" is retried one character after its opener.
void LiteralScan(const std::string& text, const std::string& tag, const std::string& attribute,
                 bool pagesOnly, StringList& list) {
    const std::string zeroTerminated = text.substr(0, text.find('\0'));
    const char* t = zeroTerminated.c_str();
    const std::string opener = "<" + tag;
    std::size_t pos = 0;
    for (;;) {
        std::ptrdiff_t open = FindNoCaseZ(t + pos, opener);
        if (open < 0)
            break;
        std::size_t p = pos + static_cast<std::size_t>(open);
        std::ptrdiff_t gt = FindNoCaseZ(t + p, ">");
        if (gt < 0) {
            pos = p + 1;
            continue;
        }
        std::size_t close = p + static_cast<std::size_t>(gt);
        pos = close;
        std::ptrdiff_t a = FindNoCaseZ(t + p, attribute);
        if (a < 0)
            continue;
        std::size_t name = p + static_cast<std::size_t>(a);
        std::ptrdiff_t q1 = FindNoCaseZ(t + name, "\"");
        if (q1 < 0)
            continue;
        std::size_t first = name + static_cast<std::size_t>(q1);
        std::ptrdiff_t q2 = FindNoCaseZ(t + first + 1, "\"");
        if (q2 < 0)
            continue;
        std::size_t second = first + 1 + static_cast<std::size_t>(q2);
        if (second > close)
            continue;
        std::string value = zeroTerminated.substr(first + 1, second - first - 1);
        if (!pagesOnly || IsPageLink(value))
            list.push_back(value);
    }
}

TEST(TagScanner, AgreesWithTheLiteralRulesOnRandomText) {
    // Whole tags and the fragments they are made of, so that values are found, half found
    // and broken in every way.
    std::vector<std::string> pieces;
    std::string all =
        "<a href=\"x.html\">|<IMG SRC=\"y.gif\">|<frame src=\"../q.htm\">|<embed lowsrc=\"e.swf\">|"
        "<a href=\"http://www.example.com/w.asp\">|<a|<A |<frame|<img |href|HREF=|src|=|\"|\"|>| "
        "|x.html|y.gif|../|http://www.example.com/|http://o.org/|<embed|lowsrc|Q.HTM|z.asp?x|<|a|";
    for (std::size_t start = 0, bar; (bar = all.find('|', start)) != std::string::npos;
         start = bar + 1) {
        pieces.push_back(all.substr(start, bar - start));
    }
    pieces.push_back(std::string(1, '\0'));
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    CTagScanner scanner("www.example.com");
    const std::pair<const char*, const char*> scans[] = {
        {"A", "HREF"}, {"FRAME", "SRC"}, {"IMG", "SRC"}, {"EMBED", "SRC"}};
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int n = length(rng); n > 0; --n) {
            text += pieces[piece(rng)];
        }
        for (const auto& [tag, attribute] : scans) {
            for (bool pagesOnly : {true, false}) {
                StringList expected;
                LiteralScan(text, tag, attribute, pagesOnly, expected);
                scanner.ResolveList("/d/index.html", expected);
                StringList got;
                scanner.ScanQuoted("/d/index.html", text, tag, attribute, pagesOnly, got);
                ASSERT_EQ(got, expected) << "text: " << text << " tag " << tag;
                found += expected.empty() ? 0 : 1;
            }
        }
    }
    EXPECT_GT(found, 1000);  // the texts do hold values to find
}

}  // namespace
