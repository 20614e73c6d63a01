#include "embed/PageEmbedding.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "base/LastMessage.h"
#include "site/LocalSiteAccess.h"
#include "support/TempDir.h"

namespace {

// The applet text of a page two directories below the root whose first fetch file is
// /tarvik/fetch7x0.qvf, with the agent directory /tarvik.
const std::string kDeepApplet =
    "<applet Codebase=\"../../tarvik\" code=\"quorvane.class\" name=\"Quorvane\" "
    "archive=\"qvan.zip\" width=\"2\" height=\"1\"> <PARAM name=\"ID\" "
    "VALUE=\"../../tarvik/fetch7x0.qvf\"> <PARAM name=\"cabbase\" VALUE=\"qvan.cab\"> "
    "</applet>  <script language=\"javascript\"> function startQuorvane (){ var ua = "
    "window.navigator.userAgent;   var msie = ua.indexOf ( \"MSIE \" );   var ver =4; if "
    "( msie > 0 ) ver = parseInt (ua.substring (msie+5, ua.indexOf (\".\", msie ))); if "
    "(ver < 4) { if (document.Quorvane) document.Quorvane.startRunning()} else{ if "
    "(document.applets.length > 0) document.applets.Quorvane.startRunning()}}</script>";

const std::string kAttr = " onLoad=\"startQuorvane()\"";
const std::string kBlock = "<Quorvane>\r\nAPPLET\r\n</Quorvane>\r\n";

std::string Embedded(const std::string& page, std::string_view applet = "APPLET") {
    CTextBuffer buffer;
    EXPECT_TRUE(buffer.Assign(page));
    EXPECT_TRUE(EmbedInBuffer(buffer, applet));
    return buffer.ToString();
}

// The template without the script loader is compared whole in the EmbedInPage case below.
TEST(PageEmbedding, AppletTextFollowsTheTemplate) {
    CTextBuffer applet;
    // The script loader's tag follows the template's script, with the same Codebase.
    ASSERT_TRUE(BuildAppletText("/a/b/page.html", "/tarvik", "/tarvik/fetch7x0.qvf", applet, true));
    EXPECT_EQ(applet.View(), kDeepApplet + "<script src=\"../../tarvik/quorvane.js\"></script>");
    // A page at the root, its fetch file named with backslashes.
    ASSERT_TRUE(BuildAppletText("/index.html", "/tarvik", "tarvik\\fetch0x0.qvf/", applet));
    EXPECT_NE(applet.View().find("Codebase=\"tarvik\" "), std::string_view::npos);
    EXPECT_NE(applet.View().find("VALUE=\"tarvik/fetch0x0.qvf\">"), std::string_view::npos);
}

TEST(PageEmbedding, BlockAndStartCallGoWhereThePageSays) {
    struct Case {
        const char* what;
        std::string page;
        std::string expected;
    };
    const Case cases[] = {
        {"plain BODY tag", "<HTML>\r\n<BODY>text</BODY>\r\n</HTML>",
         "<HTML>\r\n<BODY" + kAttr + ">text" + kBlock + "</BODY>\r\n</HTML>"},
        {"onLoad in double quotes", "<BODY onLoad=\"init()\">x</BODY>",
         "<BODY onLoad=\"startQuorvane(),init()\">x" + kBlock + "</BODY>"},
        {"lower case, single quotes", "<body bgcolor=white onload='init()'>x</body>",
         "<body bgcolor=white onload='startQuorvane(),init()'>x" + kBlock + "</body>"},
        // An unquoted value gets the call right after "=" and any blanks; the quote of a later
        // attribute or of the page's text is not touched.
        {"unquoted onLoad", "<BODY onLoad=init() class=\"a\">x</BODY>",
         "<BODY onLoad=startQuorvane(),init() class=\"a\">x" + kBlock + "</BODY>"},
        {"unquoted onLoad with blanks", "<BODY onLoad = init()>it's</BODY>",
         "<BODY onLoad = startQuorvane(),init()>it's" + kBlock + "</BODY>"},
        {"empty onLoad value", "<body onload=\"\">x</body>",
         "<body onload=\"startQuorvane()\">x" + kBlock + "</body>"},
        {"empty unquoted onLoad value", "<body onload=>x</body>",
         "<body onload=startQuorvane()>x" + kBlock + "</body>"},
        {"onLoad only after the tag", "<BODY>x<img onLoad=\"a()\"></BODY>",
         "<BODY" + kAttr + ">x<img onLoad=\"a()\">" + kBlock + "</BODY>"},
        {"onLoad inside another value", "<body class=\"onload\">x</body>",
         "<body" + kAttr + " class=\"onload\">x" + kBlock + "</body>"},
        {"onLoad without a value", "<body onload>x</body>",
         "<body" + kAttr + " onload>x" + kBlock + "</body>"},
        {"'>' inside a quoted value", "<body title=\"a>b\" onload=\"go()\">x</body>",
         "<body title=\"a>b\" onload=\"startQuorvane(),go()\">x" + kBlock + "</body>"},
        {"tag cut short", "x<BODY onload=\"go()", "x<BODY onload=\"startQuorvane(),go()" + kBlock},
        {"call already there", "<BODY onLoad=\"StartQuorvane()\">x</BODY>",
         "<BODY onLoad=\"StartQuorvane()\">x" + kBlock + "</BODY>"},
        {"no BODY, no HTML", "text", "<BODY" + kAttr + ">\r\ntext" + kBlock + "</BODY>\r\n"},
        {"HTML without BODY", "<HTML>\r\n<p>x</p>\r\n</HTML>",
         "<HTML>\r\n<BODY" + kAttr + ">\r\n<p>x</p>\r\n" + kBlock + "</BODY>\r\n</HTML>"},
        // The new BODY tag goes after the HTML tag's line end, whatever it is, and never into
        // the next tag.
        {"HTML with LF", "<HTML>\ntext\n</HTML>",
         "<HTML>\n<BODY" + kAttr + ">\r\ntext\n" + kBlock + "</BODY>\r\n</HTML>"},
        {"HTML without line end", "<HTML><p>x</p></HTML>",
         "<HTML><BODY" + kAttr + ">\r\n<p>x</p>" + kBlock + "</BODY>\r\n</HTML>"},
        {"HTML tag at the very end", "<HTML>",
         "<HTML><BODY" + kAttr + ">\r\n" + kBlock + "</BODY>\r\n"},
        // Without "</BODY>", the first "</HTML>" after it takes the block.
        {"two HTML ends", "<body>a</html>b</html>",
         "<body" + kAttr + ">a" + kBlock + "</html>b</html>"},
        // The backward scan stops at the second byte; the page has no opening BODY tag.
        {"closing BODY first", "</BODY>x",
         "<BODY" + kAttr + ">\r\n</BODY>x" + kBlock + "</BODY>\r\n"},
        {"empty page", "", "<BODY" + kAttr + ">\r\n" + kBlock + "</BODY>\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Embedded(c.page), c.expected) << c.what;
    }
}

TEST(PageEmbedding, EmbeddingTwiceKeepsOneBlockAndOneCall) {
    const std::string pages[] = {
        "<HTML>\r\n<BODY>text</BODY>\r\n</HTML>",
        "<html><body onload='x()'>text</body></html>",
        "no tags at all",
    };
    for (const std::string& page : pages) {
        std::string once = Embedded(page, kDeepApplet);
        std::string twice = Embedded(once, kDeepApplet);
        // One block and one call as before, and one LF more where the old block began.
        std::string expected = once;
        expected.insert(once.find("<Quorvane>"), "\n");
        EXPECT_EQ(twice, expected) << page;
    }
}

TEST(PageEmbedding, RemoveElementNeedsBothEnds) {
    struct Case {
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        {"a<Quorvane>x</Quorvane>\r\nb", "a\nb"},
        // The later opening tag wins; the ">" is taken to follow the closing name.
        {"<quorvane>1<QUORVANE>2</QuorvaneXY>z", "<quorvane>1>z"},
        {"p<Quorvane>a</Quorvane", "p"},  // cut short: through the end only
        {"p<Quorvane>a</Quorvane>", "p"},
        {"a</Quorvane>b<Quorvane>c</Quorvane>", "a</Quorvane>b<Quorvane>c</Quorvane>"},
        {"a<Quorvane>b", "a<Quorvane>b"},
        {"", ""},
    };
    for (const Case& c : cases) {
        CTextBuffer b;
        ASSERT_TRUE(b.Assign(c.page));
        EXPECT_EQ(RemoveElement(b, "Quorvane"), static_cast<int32_t>(std::strlen(c.expected)));
        EXPECT_EQ(b.View(), c.expected) << c.page;
    }
}

TEST(EmbedInPage, EditsThePageFileAndReportsFailures) {
    CTempDir root("embed");
    const std::string page = root / "a/b/page.html";
    ASSERT_TRUE(root.WriteFile("a/b/page.html", "<HTML>\r\n<BODY>text</BODY>\r\n</HTML>"));
    CLocalSiteAccess access(root.Path());
    ASSERT_TRUE(EmbedInPage(&access, "/a/b/page.html", "/tarvik", "/tarvik/fetch7x0.qvf"));
    EXPECT_EQ(ReadWholeFile(page), "<HTML>\r\n<BODY" + kAttr + ">text<Quorvane>\r\n" + kDeepApplet +
                                       "\r\n</Quorvane>\r\n</BODY>\r\n</HTML>");

    SetLastMessageText("");
    EXPECT_FALSE(EmbedInPage(&access, "/a/missing.html", "/tarvik", "@@"));
    EXPECT_EQ(GetLastMessage(), "Could not read file /a/missing.html");
    EXPECT_FALSE(EmbedInPage(nullptr, "/a/b/page.html", "/tarvik", "@@"));
    EXPECT_EQ(GetLastMessage(), "Could not read file /a/b/page.html");

    // A page that cannot be replaced stays as it was.
    const std::string before = ReadWholeFile(page);
    ASSERT_EQ(chmod(page.c_str(), 0444), 0);
    EXPECT_FALSE(EmbedInPage(&access, "/a/b/page.html", "/tarvik", "@@"));
    EXPECT_EQ(GetLastMessage(), "Could not write file /a/b/page.html");
    EXPECT_EQ(ReadWholeFile(page), before);
}

}  // namespace
