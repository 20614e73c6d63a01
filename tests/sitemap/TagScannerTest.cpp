#include "sitemap/TagScanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// What a page references, each name after its kind: "a" a link, "f" a frame, "i" an image. The
// rules of one scan are checked against the literal rules below; these rows hold the rest.
TEST(TagScanner, FindsWhatThePageReferences) {
    struct Case {
        const char* what;
        const char* page;
        std::string html;
        StringList found;
    };
    const Case cases[] = {
        {"relative link in a directory",
         "/dir/index.html",
         R"(<A HREF="sub/page.htm">x</A>)",
         {"a /dir/sub/page.htm"}},
        {"unquoted and single-quoted values are not seen",
         "/index.html",
         "<a href=page.html><a href='p.html'>",
         {}},
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
        {"an image is taken whatever its type; other schemes keep only our host",
         "/d/p.html",
         R"(<img src="pic.php?id=1"><img src="ftp://b.org/y.gif">)"
         R"(<img src="ftp://www.example.com/z.gif">)",
         {"i /d/pic.php?id=1", "i /z.gif"}},
        // Each scan resolves the whole list again, so a name still holding "://" after the IMG
        // scan is resolved a second time by the EMBED scan.
        {"an image name is resolved by every later scan",
         "/index.html",
         R"(<img src="http://www.example.com/p?u=http://www.example.com/z.gif">)",
         {"i /z.gif"}},
        {"a page-like value must be longer than its ending",
         "/index.html",
         R"(<a href=".htm"><a href="x.htm">)",
         {"a /x.htm"}},
    };
    CTagScanner scanner("www.example.com");
    for (const Case& c : cases) {
        StringList lists[3];
        scanner.ScanAll(c.page, c.html, lists[0], lists[1], lists[2]);
        StringList found;
        for (int kind = 0; kind < 3; ++kind) {
            for (const std::string& name : lists[kind])
                found.push_back(std::string(1, "afi"[kind]) + " " + name);
        }
        EXPECT_EQ(found, c.found) << c.what;
    }
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
