// tarvik sitemap and tarvik stats, run as the built command against sites and files in a
// temporary directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TarvikRunner.h"

namespace {

namespace fs = std::filesystem;

using Result = TarvikResult;

class SitemapCommandsTest : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::path(testing::TempDir()) / "sitemap-cli";
        fs::remove_all(dir);
        fs::create_directories(dir / "site");
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& text) {
        fs::path path = dir / "site" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    Result Run(const std::vector<std::string>& args) {
        return RunTarvik({args, {"HOME=" + dir.string()}}, (dir / "run").string());
    }

    std::string Site() const { return (dir / "site").string(); }

    // A frame set home page, a page with an image shared with the home page, a link to itself
    // and a link to a missing page.
    void WriteSmallSite() {
        Write("index.html", R"(<frameset><frame src="nav.htm"><frame src="main.html"></frameset>)"
                            R"(<img src="img/logo.gif">)");
        Write("nav.htm",
              R"(<a href="main.html"><a href="nav.htm"><a href="http://other.org/o.html">)"
              R"(<a href="http://www.example.com/docs/a.html">)");
        Write("main.html", R"(<img src="img/logo.gif"><embed src="clip.swf"><a href="gone.html">)");
        Write("docs/a.html", R"(<a href="../index.html">)");
        Write("img/logo.gif", "GIF89a");
    }

    fs::path dir;
};

const char kSmallSiteText[] =
    "page /index.html\n"
    "  frame /nav.htm\n"
    "  frame /main.html\n"
    "  image /img/logo.gif\n"
    "page /nav.htm\n"
    "  link /main.html static\n"
    "  link /nav.htm static\n"
    "  link /docs/a.html static\n"
    "page /main.html\n"
    "  link /gone.html static\n"
    "  image /img/logo.gif\n"
    "  image /clip.swf\n"
    "page /docs/a.html\n"
    "  link /index.html static\n"
    "page /gone.html\n"
    "file /img/logo.gif\n"
    "file /clip.swf\n";

const char kSmallSiteDot[] =
    "digraph site {\n"
    "  node [shape=box];\n"
    "  n0 [label=\"/index.html\"];\n"
    "  n1 [label=\"/nav.htm\"];\n"
    "  n2 [label=\"/main.html\"];\n"
    "  n3 [label=\"/docs/a.html\"];\n"
    "  n4 [label=\"/gone.html\"];\n"
    "  n0 -> n1 [style=dotted, label=\"frame\"];\n"
    "  n0 -> n2 [style=dotted, label=\"frame\"];\n"
    "  n1 -> n2;\n"
    "  n1 -> n1;\n"
    "  n1 -> n3;\n"
    "  n2 -> n4;\n"
    "  n3 -> n0;\n"
    "}\n";

TEST_F(SitemapCommandsTest, CrawlsAndPrintsTheGraph) {
    WriteSmallSite();
    Result text = Run({"sitemap", Site(), "--domain", "www.example.com"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, kSmallSiteText);
    EXPECT_EQ(text.LastErrorLine(), "5 pages, 2 files, 5 static links");

    Result dot = Run({"sitemap", Site(), "--domain", "www.example.com", "--format", "dot"});
    EXPECT_EQ(dot.status, 0) << dot.err;
    EXPECT_EQ(dot.out, kSmallSiteDot);

    // Without the domain, the absolute link to the site's own host leads outside.
    Result bare = Run({"sitemap", Site(), "--home", "nav.htm"});
    EXPECT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bare.out,
              "page /nav.htm\n"
              "  link /main.html static\n"
              "  link /nav.htm static\n"
              "page /main.html\n"
              "  link /gone.html static\n"
              "  image /img/logo.gif\n"
              "  image /clip.swf\n"
              "page /gone.html\n"
              "file /img/logo.gif\n"
              "file /clip.swf\n");
}

TEST_F(SitemapCommandsTest, SavedStatisticsPrintTheSame) {
    WriteSmallSite();
    const std::string stats = (dir / "site.qvs").string();
    Result saved = Run({"sitemap", Site(), "--domain", "www.example.com", "--save", stats});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.LastErrorLine(), "Page graph written to " + stats);
    EXPECT_EQ(saved.out, kSmallSiteText);

    Result text = Run({"stats", stats});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, kSmallSiteText);
    EXPECT_EQ(text.err, "");
    Result dot = Run({"stats", stats, "--format", "DOT"});
    EXPECT_EQ(dot.status, 0) << dot.err;
    EXPECT_EQ(dot.out, kSmallSiteDot);
}

TEST_F(SitemapCommandsTest, LearntStatisticsAreShown) {
    // A statistics file as log analysis and planning leave it: sizes, a learnt link with its
    // weight, flags and plan value, timing sums, a forced prefetch order.
    const std::string stats = (dir / "learnt.qvs").string();
    {
        std::string bytes;
        auto i32 = [&](int32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
        auto f64 = [&](double v) { bytes.append(reinterpret_cast<const char*>(&v), 8); };
        auto str = [&](const std::string& s) {
            i32(static_cast<int32_t>(s.size()));
            bytes += s;
        };
        i32(3), i32(1), i32(1), i32(2);
        // page 0: /a.html, size 120, a learnt link to page 1, forced order [1]
        i32(1), str("/a.html"), i32(9), i32(120), i32(2), i32(1);
        i32(1), i32(1), i32(2), bytes += '\0', i32(4), bytes += '\1', i32(5), f64(0.25), i32(3),
            f64(2.5), i32(0);
        i32(3), i32(1), i32(0), i32(4), i32(0), i32(5), i32(1), i32(1), i32(6), bytes += '\1';
        i32(10), i32(3), i32(7), i32(60), i32(8), i32(9), i32(0);
        // page 1: a name with a line break, no size obtained
        i32(1), str("/x\ny.html"), i32(9), i32(-1), i32(0);
        i32(2), i32(1), i32(1), str("/p.gif"), i32(2), i32(77), i32(0);
        i32(0);
        std::ofstream(stats, std::ios::binary) << bytes;
    }
    Result text = Run({"stats", stats});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "page /a.html size 120 forced-order samples 3 view-time-sum 60 load-time-sum 9\n"
              "  link /x\\x0ay.html weight 2.5 prefetched plan-value 0.25\n"
              "  image /p.gif\n"
              "  forced /x\\x0ay.html\n"
              "page /x\\x0ay.html no-size\n"
              "file /p.gif size 77\n");
    Result dot = Run({"stats", stats, "--format", "dot"});
    EXPECT_EQ(dot.status, 0) << dot.err;
    EXPECT_EQ(dot.out,
              "digraph site {\n"
              "  node [shape=box];\n"
              "  n0 [label=\"/a.html\"];\n"
              "  n1 [label=\"/x\\\\x0ay.html\"];\n"
              "  n0 -> n1 [style=dashed, label=\"2.5\"];\n"
              "}\n");
}

TEST_F(SitemapCommandsTest, DotEscapesNames) {
    Write("index.html",
          "<a href=\"back\\slash.html\"><a href=\"caf\xc3\xa9.html\">"
          "<a href=\"bad\xff.html\">");
    Result dot = Run({"sitemap", Site(), "--format", "dot"});
    EXPECT_EQ(dot.status, 0) << dot.err;
    EXPECT_NE(dot.out.find("n1 [label=\"/back\\\\slash.html\"];"), std::string::npos) << dot.out;
    EXPECT_NE(dot.out.find("n2 [label=\"/caf\xc3\xa9.html\"];"), std::string::npos) << dot.out;
    EXPECT_NE(dot.out.find("n3 [label=\"/bad\\\\xff.html\"];"), std::string::npos) << dot.out;
}

TEST_F(SitemapCommandsTest, FailuresAreClearAndNotZero) {
    Write("index.html", "<a href=\"a.html\">");
    const std::string garbage = (dir / "garbage.qvs").string();
    std::ofstream(garbage) << "not a statistics file";
    const std::string cut = (dir / "cut.qvs").string();
    {
        const int32_t head[] = {3, 1, 1, 5};
        std::ofstream(cut, std::ios::binary)
            .write(reinterpret_cast<const char*>(head), sizeof head);
    }
    const std::string missingRoot = (dir / "nowhere").string();
    const std::string noDir = (dir / "no" / "dir" / "x.qvs").string();
    const std::string missingStats = (dir / "missing.qvs").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"sitemap", missingRoot}, 1, "tarvik: Site root " + missingRoot + " is not a directory"},
        {{"sitemap", garbage}, 1, "tarvik: Site root " + garbage + " is not a directory"},
        {{"sitemap", Site(), "--home", "nope.html"}, 1, "tarvik: Could not read file /nope.html"},
        {{"sitemap", Site(), "--save", noDir},
         1,
         "tarvik: Could not write site statistics file (" + noDir + ")"},
        {{"stats", missingStats},
         1,
         "tarvik: Could not read site statistics file (" + missingStats + ")"},
        {{"stats", cut}, 1, "tarvik: Could not read site statistics file (" + cut + ")"},
        {{"stats", garbage},
         1,
         "tarvik: " + garbage + " is not a site statistics file of this version"},
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1];
        EXPECT_EQ(r.LastErrorLine(), c.message);
        EXPECT_EQ(r.out, "") << c.args[1];
    }
    EXPECT_FALSE(fs::exists(noDir));

    // Bad usage is refused by the option parser.
    EXPECT_NE(Run({"stats", garbage, "--format", "xml"}).status, 0);
    EXPECT_NE(Run({"sitemap"}).status, 0);
}

}  // namespace
