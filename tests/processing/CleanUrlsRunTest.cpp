// A full run of an agent with clean URLs on a small local site whose pages are linked and logged
// as "/", "/blog/", "/blog", "/about" and "/about.html": the crawl, the logs, planning, the
// instruction files, the embedding and the backup all meet in one page per served file. With
// the switch off the same site runs as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ArchiveReader.h"
#include "RunFixture.h"
#include "synthesis/InstructionDecoder.h"

namespace {

using namespace runtest;

const std::map<std::string, std::string> kSite = {
    {"index.html",
     "<a href=\"blog/\">Blog</a> <a href=\"about\">About</a> <a href=\"/feed\">Feed</a> "
     "<a href=\"/../etc/\">x</a> <a href=\"#top\">top</a>\n"},
    {"blog/index.html", "<a href=\"../about.html\">About</a> <a href=\"/\">Home</a>\n"},
    {"about.html", "<a href=\"/blog\">Blog</a>\n"},
    {"feed", "<rss/>\n"},
};

class CleanUrlsRunTest : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        for (const auto& [name, text] : kSite) {
            ASSERT_TRUE(dir.WriteFile("clean/" + name, text));
        }
        // v1 walks "/", "/blog/", "/about"; v2 the other forms: "/", "/about.html", "/blog".
        WriteLog("clean.log", LogLine(t0, "v1", "/") + LogLine(t0 + 10, "v1", "/blog/") +
                                  LogLine(t0 + 20, "v1", "/about") +
                                  LogLine(t0 + 30, "v1", "/feed") + LogLine(t0 + 40, "v2", "/") +
                                  LogLine(t0 + 50, "v2", "/about.html") +
                                  LogLine(t0 + 60, "v2", "/blog"));
        agent.RootDirectory = dir / "clean";
        agent.LogFile = dir / "logs/clean.log";
        agent.CleanUrls = true;
    }

    std::vector<std::string> PageNames() {
        std::vector<std::string> names;
        for (const auto& page : Map().Pages()) {
            names.push_back(page->Name);
        }
        return names;
    }
    std::vector<std::string> Instructions(const std::string& file) {
        DecodedInstructions decoded;
        EXPECT_TRUE(ReadInstructionFile(dir / ("clean/tarvik/" + file), decoded)) << file;
        return decoded.lines;
    }
    static std::vector<std::string> Sorted(std::vector<std::string> lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::string Clean(const std::string& name) { return ReadWholeFile(dir / ("clean/" + name)); }
};

TEST_F(CleanUrlsRunTest, LinksAndLogsMeetInThePagesVisitorsRequest) {
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();

    // One page per served file, named as first found; the feed and the name outside are none.
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"/", "/blog/", "/about"}));
    EXPECT_EQ(Map().HitCount, 6);  // the feed is a file
    EXPECT_EQ(Weight("/", "/blog/"), 1.0);
    EXPECT_EQ(Weight("/blog/", "/about"), 1.0);
    EXPECT_EQ(Weight("/", "/about"), 1.0);
    EXPECT_EQ(Weight("/about", "/blog/"), 1.0);

    // The loader looks pages up by the path the browser shows and prefetches what a click asks.
    EXPECT_EQ(Instructions("index.qvf"),
              (std::vector<std::string>{"/", "/tarvik/fetch0x0.qvf", "/blog/",
                                        "/tarvik/fetch1x0.qvf", "/about", "/tarvik/fetch2x0.qvf"}));
    EXPECT_EQ(Sorted(Instructions("fetch0x0.qvf")),
              (std::vector<std::string>{"#about", "#blog/", "@@", "about", "blog/"}));
    EXPECT_EQ(Sorted(Instructions("fetch1x0.qvf")),
              (std::vector<std::string>{"#../", "#../about", "../", "../about", "@@"}));

    // The served files carry the loader, addressed from the URL the browser shows.
    EXPECT_NE(Clean("blog/index.html").find("../tarvik"), std::string::npos);
    EXPECT_NE(Clean("about.html").find("startQuorvane"), std::string::npos);
    EXPECT_NE(Clean("index.html").find("startQuorvane"), std::string::npos);
    EXPECT_EQ(Clean("feed"), kSite.at("feed"));
    EXPECT_FALSE(fs::exists(dir / "clean/about"));

    const std::string root = (dir / "clean").substr(1) + "/";
    EXPECT_EQ(
        ReadArchive(dir / "backup/site.zip"),
        (std::map<std::string, std::string>{{root + "about.html", kSite.at("about.html")},
                                            {root + "blog/index.html", kSite.at("blog/index.html")},
                                            {root + "index.html", kSite.at("index.html")}}));
}

TEST_F(CleanUrlsRunTest, SwitchedOffTheSiteRunsAsBefore) {
    agent.CleanUrls = false;
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    // Only names with a page suffix are pages; "/", "/blog/" and "/about" stay files.
    EXPECT_EQ(PageNames(), (std::vector<std::string>{"/index.html", "/about.html"}));
    EXPECT_EQ(Instructions("index.qvf"),
              (std::vector<std::string>{"/index.html", "@@", "/about.html", "@@"}));
    EXPECT_EQ(Clean("blog/index.html"), kSite.at("blog/index.html"));
}

}  // namespace
