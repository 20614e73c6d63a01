// Plan evaluation over a small real site whose every size is known, so that each figure of a
// replay is counted by hand: index (1000 bytes) links a, b, c; a (2000) shows a.gif (3000); b
// (4000) links the frame set f (600) of f1 (700, links a) and f2 (800); a, c (5000) and f2 link
// nothing. The agent learnt index -> b three times and index -> c once, so index ranks b, c, a.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "RunFixture.h"
#include "agent/SiteAccessFactory.h"
#include "processing/AgentEvaluation.h"
#include "sitemap/SiteMapAnalyzer.h"

namespace {

using namespace runtest;

std::string Page(const std::string& body, std::size_t size) {
    std::string html = "<html><body>" + body + "</body></html>";
    return html + std::string(size - html.size(), ' ');
}

class EvaluationTest : public testing::Test {
  public:
    EvaluationTest() : dir("evaluate") {}

    void SetUp() override {
        t0 = time(nullptr) - 2 * 86400;
        const std::pair<const char*, std::string> files[] = {
            {"index.html",
             Page("<a href=\"a.html\">A</a><a href=\"b.html\">B</a><a href=\"c.html\">C</a>",
                  1000)},
            {"a.html", Page("<img src=\"a.gif\">", 2000)},
            {"a.gif", std::string(3000, 'g')},
            {"b.html", Page("<a href=\"f.html\">F</a>", 4000)},
            {"c.html", Page("", 5000)},
            {"f.html",
             "<html><frameset><frame src=\"f1.html\"><frame src=\"f2.html\"></frameset></html>" +
                 std::string(524, ' ')},
            {"f1.html", Page("<a href=\"a.html\">A</a>", 700)},
            {"f2.html", Page("", 800)},
        };
        for (const auto& [name, text] : files) {
            ASSERT_TRUE(dir.WriteFile(std::string("site/") + name, text));
        }
        std::string learnt;
        for (const char* v : {"l1", "l2", "l3"}) {
            learnt += LogLine(t0 - 900, v, "/index.html") + LogLine(t0 - 890, v, "/b.html");
        }
        learnt += LogLine(t0 - 800, "l4", "/index.html") + LogLine(t0 - 790, "l4", "/c.html");
        ASSERT_TRUE(dir.WriteFile("logs/learnt.log", learnt));
        list.SetWorkDir(dir / "work");
        agent.AgentKey = "www.example.com 0";
        agent.DomainName = "www.example.com";
        agent.RootDirectory = dir / "site";
        agent.LogFile = dir / "logs/learnt.log";
        agent.isPageLimit = true;
        agent.CachePageLimit = 1;
    }

    // The agent's graph as a run leaves it: the crawl, then the logs.
    void Learn() {
        agent.SiteMap = std::make_unique<CSiteMap>(agent.HomePage);
        agent.SiteMap->SetAccess(CreateSiteAccess(agent));
        ASSERT_TRUE(RunSiteMapAnalysis(*agent.SiteMap, agent.DomainName, nullptr));
        LogParams all;
        all.RangeEnd = t0;
        ASSERT_TRUE(LearnFromLogs(*agent.SiteMap, agent, all, nullptr));
    }

    bool Evaluate(const std::string& replay, EvaluationResult& result, int split = 0) {
        EXPECT_TRUE(dir.WriteFile("logs/replay.log", replay));
        EvaluateOptions options;
        options.pattern = dir / "logs/replay.log";
        options.split = split;
        return EvaluateAgent(list, agent, options, nullptr, result);
    }

    CTempDir dir;
    time_t t0 = 0;
    CAgentList list;
    CAgentSettings agent;
};

std::string Bot(std::string line) {
    return line.replace(line.rfind("\"test\""), 6, "\"Mozilla/5.0 (compatible; Googlebot/2.1)\"");
}

TEST_F(EvaluationTest, EachFigureOfAReplayIsCountedByHand) {
    struct Row {
        const char* name;
        int pageLimit;     // -1 off
        int kbLimit;       // -1 off
        bool forceC;       // index's order forced to c alone
        const char* hits;  // visitor v1's: seconds after t0 and page, in turn
        int64_t views, transitions, agentHits, ceilingHits, linkHits, prefetched, used;
    };
    const Row rows[] = {
        {"hit", 1, -1, false, "0 /index.html 10 /b.html", 2, 1, 1, 1, 0, 4000 + 2100, 4000},
        {"miss", 1, -1, false, "0 /index.html 10 /c.html", 2, 1, 0, 1, 0, 4000, 0},
        {"limit of two", 2, -1, false, "0 /index.html 10 /c.html", 2, 1, 1, 1, 0, 9000, 5000},
        {"byte limit", -1, 1, false, "0 /index.html 10 /c.html", 2, 1, 0, 1, 0, 4000, 0},
        {"byte limit passed", -1, 4, false, "0 /index.html 10 /c.html", 2, 1, 1, 1, 0, 9000, 5000},
        {"frame set", 1, -1, false, "0 /b.html 10 /f.html 11 /f1.html 12 /f2.html 20 /a.html", 5, 2,
         2, 2, 2, 2100 + 5000, 2100 + 5000},
        {"forced order", 1, -1, true, "0 /index.html 10 /c.html", 2, 1, 1, 1, 0, 5000, 5000},
        {"no list", 1, -1, false, "0 /c.html 10 /index.html", 2, 1, 0, 0, 0, 4000, 0},
        {"back after 29 minutes", 1, -1, false, "0 /index.html 1740 /b.html", 2, 1, 1, 1, 0, 6100,
         4000},
        {"back after 31 minutes", 1, -1, false, "0 /index.html 1860 /b.html", 2, 0, 0, 0, 0, 6100,
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        agent.isPageLimit = row.pageLimit >= 0;
        agent.CachePageLimit = row.pageLimit;
        agent.isKBLimit = row.kbLimit >= 0;
        agent.CacheKBLimit = row.kbLimit;
        Learn();
        if (row.forceC) {
            CSitePage* index = agent.SiteMap->FindPage("/index.html");
            index->ForcePrefetchOrder = true;
            index->ForcedPrefetchPages = {agent.SiteMap->FindPage("/c.html")};
        }
        std::string replay, page;
        std::istringstream hits(row.hits);
        for (int seconds = 0; hits >> seconds >> page;) {
            replay += LogLine(t0 + seconds, "v1", page);
        }
        EvaluationResult r;
        ASSERT_TRUE(Evaluate(replay, r)) << GetLastMessage();
        EXPECT_EQ(r.site.agent.views, row.views);
        EXPECT_EQ(r.site.agent.transitions, row.transitions);
        EXPECT_EQ(r.site.agent.hits, row.agentHits);
        EXPECT_EQ(r.site.ceiling.hits, row.ceilingHits);
        EXPECT_EQ(r.site.linkOrder.hits, row.linkHits);
        EXPECT_EQ(r.site.agent.bytesPrefetched, row.prefetched);
        EXPECT_EQ(r.site.agent.bytesUsed, row.used);
        EXPECT_EQ(r.botRecords, 0);
    }
}

TEST_F(EvaluationTest, BotsAreLeftOutAndCounted) {
    Learn();
    const std::string replay =
        Bot(LogLine(t0, "crawler", "/index.html")) + LogLine(t0, "v2", "/robots.txt") +
        LogLine(t0 + 5, "v2", "/index.html") + Bot(LogLine(t0 + 10, "crawler", "/b.html")) +
        LogLine(t0 + 10, "v2", "/b.html") + LogLine(t0 + 20, "v1", "/index.html") +
        LogLine(t0 + 30, "v1", "/b.html");
    EvaluationResult r;
    ASSERT_TRUE(Evaluate(replay, r));
    EXPECT_EQ(r.records, 7);
    EXPECT_EQ(r.botRecords, 5);
    EXPECT_EQ(r.botClients, 2);
    EXPECT_EQ(r.site.agent.views, 2);
    EXPECT_EQ(r.site.agent.hits, 1);
    ASSERT_EQ(r.pages.size(), 2u);
    EXPECT_EQ(r.pages[0].name, "/b.html");  // equal views: by name
    EXPECT_EQ(r.pages[1].figures.agent.hits, 1);
}

// The site carries the loader of an earlier run (index plans b). v1 views index, whose loader
// prefetches b; v1 then opens b from the cache (only b's fetch file is asked for). v2 views index
// and leaves. The prefetch is no view; the cache-served b is one, and a hit of the plan.
TEST_F(EvaluationTest, ACacheServedClickIsAHitOfThePlan) {
    const std::string home = "http://www.example.com/index.html";
    std::string replay;
    for (const char* v : {"v1", "v2"}) {
        replay += logtest::Line(t0, v, "GET", "/index.html") +
                  logtest::Line(t0 + 1, v, "GET", "/tarvik/fetch0x0.qvf", home) +
                  logtest::Line(t0 + 2, v, "GET", "/b.html", home);
    }
    replay += logtest::Line(t0 + 30, "v1", "GET", "/tarvik/fetch1x0.qvf",
                            "http://www.example.com/b.html");
    struct Row {
        bool deployed;
        int64_t views, transitions, hits;
    } rows[] = {{true, 3, 1, 1}, {false, 4, 2, 2}};  // without a loader: read as ever
    for (const Row& row : rows) {
        SCOPED_TRACE(row.deployed);
        if (row.deployed) {
            ASSERT_TRUE(dir.WriteFile("site/tarvik/index.qvf",
                                      "/index.html\n/tarvik/fetch0x0.qvf\n/b.html\n"
                                      "/tarvik/fetch1x0.qvf\n"));
            ASSERT_TRUE(dir.WriteFile("site/tarvik/fetch0x0.qvf", "@@\nb.html\n"));
            ASSERT_TRUE(dir.WriteFile("site/tarvik/fetch1x0.qvf", "@@\nf.html\n"));
        } else {
            fs::remove_all(dir / "site/tarvik");
        }
        Learn();
        EvaluationResult r;
        ASSERT_TRUE(Evaluate(replay, r)) << GetLastMessage();
        EXPECT_EQ(r.site.agent.views, row.views);
        EXPECT_EQ(r.site.agent.transitions, row.transitions);
        EXPECT_EQ(r.site.agent.hits, row.hits);
    }
}

TEST_F(EvaluationTest, TheCeilingNeverScoresBelowTheAgentsPlan) {
    // Visitors wander over the site, following links mostly and jumping now and then; the agent
    // learns from the first half and is replayed on the second.
    const char* pages[] = {"/index.html", "/a.html", "/b.html", "/c.html", "/f.html", "/f1.html"};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::string log;
        for (int i = 0; i < 400; ++i) {
            const std::string visitor = "v" + std::to_string(random() % 12);
            log += LogLine(t0 - 4000 + 10 * i, visitor, pages[random() % 6]);
        }
        agent.CachePageLimit = 1 + static_cast<int>(seed % 3);
        Learn();
        EvaluationResult r;
        ASSERT_TRUE(Evaluate(log, r, 50)) << GetLastMessage();
        EXPECT_GT(r.site.agent.transitions, 50);
        EXPECT_GE(r.site.ceiling.hits, r.site.agent.hits);
        for (const PageEvaluation& page : r.pages) {
            EXPECT_GE(page.figures.ceiling.hits, page.figures.agent.hits) << page.name;
        }
    }
}

TEST_F(EvaluationTest, FailuresNameTheirCause) {
    EvaluationResult r;
    EXPECT_FALSE(Evaluate(LogLine(t0, "v1", "/index.html"), r));
    EXPECT_EQ(GetLastMessage(),
              "Agent \"www.example.com 0\" has no site statistics yet; run it first (tarvik run)");
    Learn();
    EvaluateOptions options;
    options.pattern = dir / "logs/none*.log";
    EXPECT_FALSE(EvaluateAgent(list, agent, options, nullptr, r));
    EXPECT_EQ(GetLastMessage(), "No log files match your request none*.log");
    options.split = 50;
    EXPECT_FALSE(EvaluateAgent(list, agent, options, nullptr, r));
    EXPECT_EQ(GetLastMessage(), "No log files match your request none*.log");
}

}  // namespace
