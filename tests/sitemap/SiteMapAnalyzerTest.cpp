// The crawl over tiny sites written into temporary directories and read through the local site
// access.
#include "sitemap/SiteMapAnalyzer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "support/RecordingSink.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using NameList = std::vector<std::string>;

// The local site access, counting the reads of every name.
class CountingAccess : public CLocalSiteAccess {
  public:
    using CLocalSiteAccess::CLocalSiteAccess;
    bool ReadFile(const std::string& name, CTextBuffer& buffer) override {
        ++reads[name];
        return CLocalSiteAccess::ReadFile(name, buffer);
    }
    std::map<std::string, int> reads;
};

class SiteMapAnalyzerTest : public testing::Test {
  protected:
    void Write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(scratch.WriteFile(name, text));
    }

    // A graph for the site with a counting access object; the graph owns it.
    std::unique_ptr<CSiteMap> NewMap(const std::string& home = "index.html") {
        auto map = std::make_unique<CSiteMap>(home);
        auto access = std::make_unique<CountingAccess>(root.string());
        counter = access.get();
        map->SetAccess(std::move(access));
        return map;
    }

    static std::vector<std::string> Names(const CSiteMap& map) {
        std::vector<std::string> names;
        for (const auto& page : map.Pages())
            names.push_back(page->Name);
        return names;
    }
    // The targets of the page's static links, in link order.
    static std::vector<std::string> StaticTargets(const CSitePage* page) {
        std::vector<std::string> names;
        for (const auto& link : page->Links) {
            if (link->IsStatic)
                names.push_back(link->Target->Name);
        }
        return names;
    }

    CTempDir scratch{"crawl-site"};
    fs::path root = scratch.Path();
    CountingAccess* counter = nullptr;
};

TEST_F(SiteMapAnalyzerTest, WalksBreadthFirstAndScansEachPageOnce) {
    Write("index.html", R"(<a href="p2.html"><a href="sub/p3.htm"><img src="logo.gif">)");
    Write("p2.html", R"(<a href="sub/p3.htm"> <a href="index.html"> <img src="logo.gif">)");
    Write("sub/p3.htm", R"(<a href="../p2.html"><a href="p3.htm"><embed src="m.swf">)");
    auto map = NewMap("index.html");
    ASSERT_TRUE(RunSiteMapAnalysis(*map, "www.example.com", nullptr));

    EXPECT_EQ(Names(*map), (NameList{"/index.html", "/p2.html", "/sub/p3.htm"}));
    EXPECT_EQ(StaticTargets(map->PageAt(0)), (NameList{"/p2.html", "/sub/p3.htm"}));
    EXPECT_EQ(StaticTargets(map->PageAt(1)), (NameList{"/sub/p3.htm", "/index.html"}));
    // A page that links to itself gets a static link to itself.
    EXPECT_EQ(StaticTargets(map->PageAt(2)), (NameList{"/p2.html", "/sub/p3.htm"}));
    EXPECT_EQ(counter->reads, (std::map<std::string, int>{
                                  {"/index.html", 1}, {"/p2.html", 1}, {"/sub/p3.htm", 1}}));

    // An image used by two pages is one file listed by both; images are never read.
    ASSERT_EQ(map->FileCount(), 2);
    CSiteFile* logo = map->FindFile("/logo.gif");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(map->PageAt(0)->Images, (std::vector<CSiteFile*>{logo}));
    EXPECT_EQ(map->PageAt(1)->Images, (std::vector<CSiteFile*>{logo}));
    EXPECT_EQ(map->PageAt(2)->Images, (std::vector<CSiteFile*>{map->FindFile("/sub/m.swf")}));
    EXPECT_EQ(logo->Size, -2);  // sizes are not asked by the crawl
}

TEST_F(SiteMapAnalyzerTest, FrameSetsMissingPagesAndOtherHosts) {
    Write("index.html", R"(<frameset><frame src="left.htm"><frame src="right.htm"></frameset>)");
    Write("left.htm", R"(<a href="gone.html"><a href="http://other.org/o.html">)"
                      R"(<a href="http://www.example.com/abs.html">)");
    Write("right.htm", R"(<frame src="left.htm">)");
    fs::create_directories(root / "abs.html");  // a directory: cannot be read as a page
    auto map = NewMap("index.html");
    ASSERT_TRUE(RunSiteMapAnalysis(*map, "www.example.com", nullptr));

    EXPECT_EQ(Names(*map),
              (NameList{"/index.html", "/left.htm", "/right.htm", "/gone.html", "/abs.html"}));
    CSitePage* home = map->PageAt(0);
    EXPECT_TRUE(home->Links.empty());
    EXPECT_EQ(home->Frames, (std::vector<CSitePage*>{map->PageAt(1), map->PageAt(2)}));
    EXPECT_EQ(map->PageAt(2)->Frames, (std::vector<CSitePage*>{map->PageAt(1)}));
    EXPECT_EQ(StaticTargets(map->PageAt(1)), (NameList{"/gone.html", "/abs.html"}));
    // Pages that cannot be read stay in the graph; the walk goes on past them.
    EXPECT_EQ(counter->reads, (std::map<std::string, int>{{"/index.html", 1},
                                                          {"/left.htm", 1},
                                                          {"/right.htm", 1},
                                                          {"/gone.html", 1},
                                                          {"/abs.html", 1}}));
}

TEST_F(SiteMapAnalyzerTest, HomePageFailures) {
    struct Case {
        const char* home;
        const char* message;
    };
    const Case cases[] = {{"missing.html", "Could not read file /missing.html"},
                          {"/sub\\x.html", "Could not read file /sub\\x.html"},
                          {"", "Could not read file /"}};
    for (const Case& c : cases) {
        auto map = NewMap(c.home);
        SetLastMessageText("");
        EXPECT_FALSE(RunSiteMapAnalysis(*map, "", nullptr)) << c.home;
        EXPECT_EQ(GetLastMessage(), c.message);
        EXPECT_EQ(map->PageCount(), 1);  // the home page stays, without structure
    }

    // Without an access object nothing can be read.
    CSiteMap bare("index.html");
    EXPECT_FALSE(RunSiteMapAnalysis(bare, "", nullptr));
    EXPECT_EQ(GetLastMessage(), "Could not read file /index.html");
}

TEST_F(SiteMapAnalyzerTest, ProgressCyclesEveryHundredPages) {
    const int pages = 102;
    for (int i = 0; i < pages; ++i) {
        std::string next = i + 1 < pages ? "<a href=\"p" + std::to_string(i + 1) + ".html\">" : "";
        Write(i == 0 ? "index.html" : "p" + std::to_string(i) + ".html", next);
    }
    auto map = NewMap();
    RecordingSink sink;
    ASSERT_TRUE(RunSiteMapAnalysis(*map, "", &sink));
    ASSERT_EQ(map->PageCount(), pages);
    ASSERT_EQ(sink.progress.size(), static_cast<std::size_t>(pages));
    EXPECT_EQ(sink.progress[0], 1);
    EXPECT_EQ(sink.progress[98], 99);
    EXPECT_EQ(sink.progress[99], 0);  // the 100th page
    EXPECT_EQ(sink.progress[100], 1);
    EXPECT_EQ(sink.statuses[0], "Processing page index.html");
    EXPECT_EQ(sink.statuses[7], "Processing page p7.html");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SiteMapAnalyzerTest, StopKeepsWhatWasFound) {
    Write("index.html", R"(<a href="a.html"><a href="b.html">)");
    Write("a.html", R"(<a href="c.html"><img src="i.gif">)");
    Write("b.html", R"(<a href="d.html">)");
    auto map = NewMap();
    RecordingSink sink;
    sink.stopAtStatus = 3;  // Stop is pressed while the third page is announced
    SetLastMessageText("");
    EXPECT_FALSE(RunSiteMapAnalysis(*map, "", &sink));
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_EQ(Names(*map), (NameList{"/index.html", "/a.html", "/b.html", "/c.html"}));
    EXPECT_EQ(StaticTargets(map->PageAt(1)), (NameList{"/c.html"}));
    EXPECT_EQ(map->PageAt(1)->Images.size(), 1u);
    EXPECT_TRUE(map->PageAt(2)->Links.empty());  // queued, never scanned
    EXPECT_EQ(counter->reads.count("/b.html"), 0u);
    EXPECT_TRUE(sink.messages.empty());  // the crawl itself shows nothing

    // Stopped before the home page was read.
    auto early = NewMap();
    RecordingSink stopped;
    stopped.stopped = true;
    EXPECT_FALSE(RunSiteMapAnalysis(*early, "", &stopped));
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_TRUE(counter->reads.empty());
}

TEST_F(SiteMapAnalyzerTest, KeptGraphs) {
    Write("index.html", R"(<a href="old.html"><a href="new.html"><img src="i.gif">)");
    Write("old.html", R"(<a href="deep.html"><frame src="f.htm"><img src="o.gif">)");
    Write("new.html", R"(<a href="old.html">)");
    Write("learnt.html", R"(<a href="unseen.html">)");

    // The walk scans every page it reaches, the kept ones too, so they get their static links,
    // frames and images back; a kept page the HTML does not reach is not read.
    auto kept = NewMap();
    CSitePage* old = kept->AddPage("/old.html");
    CSitePage* home = kept->AddPage("/index.html");
    CSitePage* learnt = kept->AddPage("/learnt.html");
    old->GetOrAddLink(home)->Weight = 2.0;
    home->GetOrAddLink(old)->Weight = 1.0;
    old->GetOrAddLink(learnt)->Weight = 1.0;
    kept->ForgetStaticStructure();
    ASSERT_EQ(kept->PageCount(), 3);
    ASSERT_TRUE(RunSiteMapAnalysis(*kept, "", nullptr));
    EXPECT_EQ(Names(*kept), (NameList{"/old.html", "/index.html", "/learnt.html", "/new.html",
                                      "/deep.html", "/f.htm"}));
    EXPECT_EQ(counter->reads, (std::map<std::string, int>{{"/index.html", 1},
                                                          {"/old.html", 1},
                                                          {"/new.html", 1},
                                                          {"/deep.html", 1},
                                                          {"/f.htm", 1}}));
    EXPECT_EQ(StaticTargets(home), (NameList{"/old.html", "/new.html"}));
    EXPECT_EQ(StaticTargets(old), (NameList{"/deep.html"}));
    EXPECT_EQ(old->FindLink(home)->Weight, 2.0);  // the learnt link stays, not static
    EXPECT_FALSE(old->FindLink(home)->IsStatic);
    EXPECT_EQ(old->Frames, (std::vector<CSitePage*>{kept->FindPage("/f.htm")}));
    EXPECT_EQ(old->Images.size(), 1u);
    EXPECT_TRUE(learnt->Links.empty());
}

}  // namespace
