// The analysis rules: visitors, transitions with and without referer, frames, the sweep, decay,
// the range boundaries, progress and the time estimate, images and timing samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "LogTestUtil.h"
#include "agent/AgentSettings.h"
#include "log/CommonLogReader.h"
#include "log/LogAnalyzer.h"
#include "log/LogReader.h"
#include "log/MemoryLogStream.h"
#include "log/VisitorTable.h"
#include "log/W3CLogReader.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"

namespace {

using logtest::Line;
using logtest::RecordingSink;
using logtest::StepClock;
using logtest::TempDir;

const std::string kSite = "http://www.example.com";

class LogAnalyzerTest : public logtest::ZoneTest {
  protected:
    void SetUp() override {
        ZoneTest::SetUp();
        t0 = LocalTime(2026, 10, 1, 10, 0, 0);
    }
    // An analyzer over all time (or the given range) on the test's graph.
    CLogAnalyzer& Analyzer(time_t start = 0, time_t end = kLatestLogTime - 1,
                           CProgressSink* sink = nullptr) {
        analyzer = std::make_unique<CLogAnalyzer>(map, "www.example.com", start, end, sink);
        return *analyzer;
    }
    // Runs the record loop over a common-format log in memory: its hits (Outcome: what it came to).
    int32_t Feed(const std::string& log) { return Outcome(log).hits; }
    LogReadResult Outcome(const std::string& log) {
        if (!analyzer) {
            Analyzer();
        }
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        analyzer->SetFileSize(static_cast<int64_t>(log.size()));
        return analyzer->ProcessRecords(reader);
    }
    double Weight(const std::string& from, const std::string& to) {
        CSitePage* source = map.FindPage(from);
        CSitePage* target = map.FindPage(to);
        if (!source || !target) {
            return -1;
        }
        CPageLink* link = source->FindLink(target);
        return link ? link->Weight : 0.0;
    }
    std::size_t LinkCount() {
        std::size_t n = 0;
        for (const auto& page : map.Pages()) {
            n += page->Links.size();
        }
        return n;
    }

    CSiteMap map{"index.html"};
    std::unique_ptr<CLogAnalyzer> analyzer;
    time_t t0 = 0;
};

// Each page of the graph in order with its timing samples (count/view sum/load sum) and its
// links with their weights; then the page hits and the files.
std::string Summary(const CSiteMap& map) {
    std::ostringstream out;
    for (const auto& page : map.Pages()) {
        out << page->Name << "(" << page->ViewSamples << "/" << page->ViewTimeSum << "/"
            << page->LoadTimeSum << ")";
        for (const auto& link : page->Links) {
            out << " >" << link->Target->Name << ":" << link->Weight;
        }
        out << "; ";
    }
    out << map.HitCount << " hits, " << map.FileCount() << " files";
    return out.str();
}

// A visitor's consecutive page views make a transition and a timing sample; what the range,
// the method, the frame set on show, the same name and a forgotten visitor change about that.
TEST_F(LogAnalyzerTest, VisitsMakeTransitionsAndSamples) {
    const time_t t = t0;
    auto get = [](time_t when, const std::string& client, const std::string& url) {
        return Line(when, client, "GET", url);
    };
    struct Row {
        const char* what;
        std::string log;
        int32_t hits;
        std::string graph;
        bool frameSet = false;
        time_t start = 0, end = kLatestLogTime - 1;
    };
    const Row rows[] = {
        {"consecutive pages", get(t, "v1", "/a.html") + get(t + 20, "v1", "/b.html"), 2,
         "/a.html(1/20/0) >/b.html:1; /b.html(0/0/0); 2 hits, 0 files"},
        {"the same page again", get(t, "v1", "/a.html") + get(t + 7, "v1", "/a.html"), 2,
         "/a.html(1/7/0); 2 hits, 0 files"},
        {"a frame of the frame set on show",
         get(t, "v1", "/frames.html") + get(t + 1, "v1", "/menu.html") +
             get(t + 9, "v1", "/b.html"),
         3, "/frames.html(2/9/0) >/b.html:1; /menu.html(0/0/0); /b.html(0/0/0); 3 hits, 0 files",
         true},
        {"only GET requests visit",
         get(t, "v1", "/a.html") + Line(t + 1, "v1", "POST", "/b.html") +
             Line(t + 2, "v1", "HEAD", "/c.html") + get(t + 3, "v1", "/d.html"),
         4, "/a.html(1/3/0) >/d.html:1; /d.html(0/0/0); 2 hits, 0 files"},
        {"inactive for exactly 1800 s", get(t, "v1", "/a.html") + get(t + 1800, "v1", "/b.html"), 2,
         "/a.html(1/1800/0) >/b.html:1; /b.html(0/0/0); 2 hits, 0 files"},
        {"inactive for 1801 s: forgotten", get(t, "v1", "/a.html") + get(t + 1801, "v1", "/b.html"),
         2, "/a.html(0/0/0); /b.html(0/0/0); 2 hits, 0 files"},
        // The sweep runs at most every 60 s of log time (here at t and t + 1790): a visitor that
        // expires between two sweeps is still known at a hit before the next one.
        {"expired between sweeps",
         get(t, "v1", "/a.html") + get(t + 1790, "v2", "/x.html") + get(t + 1830, "v1", "/b.html"),
         3, "/a.html(1/1830/0) >/b.html:1; /x.html(0/0/0); /b.html(0/0/0); 3 hits, 0 files"},
        // A record at exactly the start does not count; one at exactly the end does.
        {"range boundaries",
         get(t - 5, "v", "/0.html") + get(t, "v", "/1.html") + get(t + 1, "v", "/2.html") +
             get(t + 10, "v", "/3.html") + get(t + 11, "v", "/4.html"),
         2, "/2.html(1/9/0) >/3.html:1; /3.html(0/0/0); 2 hits, 0 files", false, t, t + 10},
        // The last record cannot be read, so the log's end is unknown: it must not be taken as
        // older than a range of recent days.
        {"a tail that does not parse",
         get(t, "v1", "/a.html") + get(t + 5, "v1", "/b.html") + std::string(2000, '#') + "\n", 2,
         "/a.html(1/5/0) >/b.html:1; /b.html(0/0/0); 2 hits, 0 files", false, t - 86400, t + 86400},
        {"names SameName takes as one",
         get(t, "v1", "/A.HTM") + get(t + 1, "v2", "/a.html") + get(t + 2, "v3", "/a.html") +
             get(t + 3, "v3", "/b.gif") + get(t + 4, "v3", "/b.jpg"),
         5, "/A.HTM(0/0/0); 3 hits, 2 files"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CSiteMap graph("index.html");
        if (row.frameSet) {
            graph.AddPage("/frames.html")->Frames.push_back(graph.AddPage("/menu.html"));
        }
        CLogAnalyzer analysis(graph, "www.example.com", row.start, row.end, nullptr);
        CMemoryLogStream stream(row.log);
        CCommonLogReader reader(stream);
        analysis.SetFileSize(static_cast<int64_t>(row.log.size()));
        EXPECT_EQ(analysis.ProcessRecords(reader).hits, row.hits);
        EXPECT_EQ(Summary(graph), row.graph);
    }
}

TEST_F(LogAnalyzerTest, ASiteRefererNamesTheSourcePage) {
    CSitePage* c = map.AddPage("/c.html");
    struct Case {
        std::string referer;
        std::string source;
    };
    const Case cases[] = {
        {kSite + "/c.html", "/c.html"},
        {"HTTP://WWW.EXAMPLE.COM/c.html", "/c.html"},    // scheme and host in any case
        {"https://www.example.com/c.html", "/a.html"},   // another scheme: ignored
        {"http://other.example.com/c.html", "/a.html"},  // another host: ignored
        {kSite + "/unknown.html", "/a.html"},            // not a page of the graph: ignored
        {"-", "/a.html"},
    };
    for (const Case& c2 : cases) {
        map.ResetStatistics();
        map.AddPage("/c.html");
        analyzer.reset();
        std::string log =
            Line(t0, "v1", "GET", "/a.html") + Line(t0 + 20, "v1", "GET", "/b.html", c2.referer);
        Feed(log);
        EXPECT_EQ(Weight(c2.source, "/b.html"), 1.0) << c2.referer;
        EXPECT_EQ(LinkCount(), 1u) << c2.referer;
        EXPECT_EQ(analyzer->Visitors().Find("v1")->Page, map.FindPage("/b.html"));
        EXPECT_EQ(map.FindPage("/unknown.html"), nullptr);  // a referer never adds a page
    }
    (void)c;
}

TEST_F(LogAnalyzerTest, ARefererToTheSiteRootStandsForTheHomePage) {
    // The home page setting has no leading "/" but the page is named with one.
    std::string log = Line(t0, "v1", "GET", "/") +  // read as /index.html
                      Line(t0 + 5, "v2", "GET", "/b.html", kSite + "/");
    Feed(log);
    EXPECT_EQ(Weight("/index.html", "/b.html"), 1.0);
    // A home page setting that has its "/" already works alike.
    CSiteMap other("/start.html");
    other.AddPage("/start.html");
    CLogAnalyzer a(other, "www.example.com", 0, kLatestLogTime - 1, nullptr);
    std::string log2 = Line(t0, "v1", "GET", "/x.html", kSite + "/");
    CMemoryLogStream stream(log2);
    CCommonLogReader reader(stream);
    a.ProcessRecords(reader);
    CPageLink* link = other.FindPage("/start.html")->FindLink(other.FindPage("/x.html"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Weight, 1.0);
}

// A W3C log without a method column: hits, but no visits at all.
TEST_F(LogAnalyzerTest, WithoutAMethodColumnNoVisits) {
    CLogAnalyzer& a = Analyzer();
    std::string w3c =
        "#Fields: date time c-ip cs-uri-stem\n2026-10-01 10:00:00 v1 /a.html\n"
        "2026-10-01 10:00:05 v1 /b.html\n";
    CMemoryLogStream stream(w3c);
    CW3CLogReader reader(stream);
    EXPECT_EQ(a.ProcessRecords(reader).hits, 2);
    EXPECT_EQ(map.PageCount(), 0);
    EXPECT_EQ(map.HitCount, 0);
}

TEST_F(LogAnalyzerTest, MajorWeightDecaysOnTheTenthTransition) {
    map.SetDecay(kLogDecayPeriod, DecayFactorOf(2));
    std::string log;
    for (int i = 0; i < 10; ++i) {
        std::string v = "v" + std::to_string(i);
        log += Line(t0 + 2 * i, v, "GET", "/a.html") + Line(t0 + 2 * i + 1, v, "GET", "/b.html");
    }
    Feed(log);
    EXPECT_DOUBLE_EQ(Weight("/a.html", "/b.html"), 8.0);
    EXPECT_DOUBLE_EQ(map.FindPage("/a.html")->DecayProduct, 0.8);
    EXPECT_EQ(map.FindPage("/a.html")->TransitionsSinceDecay, 0);
    EXPECT_EQ(DecayFactorOf(0), 1.0);
    EXPECT_EQ(DecayFactorOf(1), 0.95);
    EXPECT_EQ(DecayFactorOf(3), 1.0);
}

TEST_F(LogAnalyzerTest, ALogOutsideTheRangeIsNotReadThrough) {
    std::string log;
    for (int i = 0; i < 3000; ++i) {
        log += Line(t0 + i, "v", "GET", "/a.html");
    }
    for (auto [start, end] : {std::pair<time_t, time_t>{t0 + 5000, t0 + 6000},
                              std::pair<time_t, time_t>{t0 - 6000, t0 - 5000}}) {
        RecordingSink sink;
        Analyzer(start, end, &sink);
        EXPECT_EQ(Feed(log), 0);
        EXPECT_TRUE(sink.progress.empty());
        EXPECT_EQ(sink.polls.load(), 0);  // the record loop never started
    }
}

TEST_F(LogAnalyzerTest, ProgressEveryThousandParsedRecords) {
    // Unparseable lines are no ticks: 1999 records with garbage between them give one step.
    std::string log;
    for (int i = 0; i < 1999; ++i) {
        log += Line(t0 + i, "v", "GET", "/a.html");
        if (i % 3 == 0) {
            log += "garbage\n";
        }
    }
    RecordingSink sink;
    Analyzer(0, kLatestLogTime - 1, &sink);
    EXPECT_EQ(Feed(log), 1999);
    ASSERT_EQ(sink.progress.size(), 1u);
    EXPECT_NEAR(sink.progress[0], 50, 1);
    EXPECT_EQ(sink.polls.load(), 1999);  // once per parsed record
    // The stop request is honoured at the next parsed record.
    RecordingSink stopping;
    stopping.stopAfter = 5;
    Analyzer(0, kLatestLogTime - 1, &stopping);
    int32_t before = map.HitCount;
    EXPECT_EQ(Outcome(log).outcome, LogReadResult::Stopped);
    EXPECT_EQ(map.HitCount, before + 5);
}

TEST_F(LogAnalyzerTest, TheTimeEstimateIsShownOnceAndOnlyForARangeThatReachesNow) {
    std::string log;
    for (int i = 0; i < 3000; ++i) {
        char url[32];
        std::snprintf(url, sizeof url, "/p%04d.html", i % 100);
        log += Line(t0 + i, "10.0.0.1", "GET", url);  // lines of equal length
    }
    struct Case {
        time_t clockStart;
        time_t step;
        std::vector<std::string> messages;
    };
    const std::string text =
        "Expected Log Processing time is 15 minutes,\nyou can use the \"Time Range\" tab in the "
        "properties dialog to process only part of the log and reduce processing time. press "
        "\"Stop\" to stop log processing.";
    const Case cases[] = {
        // 300 s for the first third: 900 s in all, above 600: shown, once.
        {t0, 300, {text}},
        // 150 s for a third: 450 s, not shown.
        {t0, 150, {}},
        // 5 s are not more than 5: no estimate yet (and later readings 10 s apart go on).
        {t0, 5, {}},
        // The range ended before the loop started: never.
        {kLatestLogTime - 1000000, 300, {}},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        StepClock clock(c.clockStart, c.step);
        Analyzer(0, kLatestLogTime - 1 - 2000000, &sink).SetClock(&clock);
        Feed(log);
        EXPECT_EQ(sink.messages, c.messages) << c.step;
    }
    // No sink: no estimate either (and nothing to show it on).
    StepClock clock(t0, 300);
    Analyzer(0, kLatestLogTime - 1).SetClock(&clock);
    Feed(log);
    EXPECT_EQ(clock.now, t0 + 300);  // read once, when the loop started
}

TEST_F(LogAnalyzerTest, FilesWithASiteRefererBecomeImagesOfThePageOnce) {
    std::string log = Line(t0, "v1", "GET", "/a.html");
    for (int i = 0; i < 3; ++i) {
        log += Line(t0 + 1 + i, "v" + std::to_string(i), "GET", "/i.gif", kSite + "/a.html");
    }
    log += Line(t0 + 9, "v1", "GET", "/j.gif", "http://elsewhere.example/a.html");
    log += Line(t0 + 9, "v1", "GET", "/k.gif");
    // A request without a target names nothing.
    log += "v1 - - [01/Oct/2026:10:00:09 +0200] \"GET\" 400 0 \"-\" \"test\"\n";
    Feed(log);
    CSitePage* a = map.FindPage("/a.html");
    ASSERT_EQ(a->Images.size(), 1u);
    EXPECT_EQ(a->Images[0]->Name, "/i.gif");
    EXPECT_EQ(map.FileCount(), 3);
    EXPECT_EQ(analyzer->Visitors().Find("v1")->Page, a);  // file hits change no page
    EXPECT_EQ(analyzer->Visitors().Find("v0")->Page, nullptr);
}

TEST_F(LogAnalyzerTest, ARefererToAPageNotKnownYetIsLookedUpAgain) {
    // v1's referer names a.html before anyone requested it; once the page exists, the same
    // referer names it.
    std::string log = Line(t0, "v1", "GET", "/x.gif", kSite + "/a.html") +
                      Line(t0 + 1, "v2", "GET", "/a.html") +
                      Line(t0 + 2, "v1", "GET", "/y.gif", kSite + "/a.html") +
                      Line(t0 + 3, "v1", "GET", "/z.gif", kSite + "/a.html") +
                      Line(t0 + 4, "v3", "GET", "/x.gif", kSite + "/a.html");
    Feed(log);
    CSitePage* a = map.FindPage("/a.html");
    ASSERT_EQ(a->Images.size(), 3u);
    EXPECT_EQ(a->Images[0]->Name, "/y.gif");
    EXPECT_EQ(a->Images[1]->Name, "/z.gif");
    EXPECT_EQ(a->Images[2]->Name, "/x.gif");
}

TEST_F(LogAnalyzerTest, LoadEstimatesDecideTheTimingSamples) {
    CSitePage* a = map.AddPage("/a.html");
    a->Size = 35000;  // 10 s at 3500 bytes per second
    CSiteFile* image = map.AddFile("/i.gif");
    image->Size = 7000;  // 2 s
    CSiteFile* big = map.AddFile("/big.zip");
    big->Size = 3500 * 200;
    std::string log = Line(t0, "v1", "GET", "/a.html") +
                      Line(t0 + 9, "v1", "GET", "/i.gif", kSite + "/a.html") +  // ends at 11
                      Line(t0 + 30, "v1", "GET", "/b.html") +
                      // v2: a's load ends at 10, but a file of 200 s follows; the estimate of 201
                      // s exceeds 8 x (a and its image: 42000 bytes = 12 s) = 96 s: no sample.
                      Line(t0 + 100, "v2", "GET", "/a.html") +
                      Line(t0 + 101, "v2", "GET", "/big.zip") +
                      Line(t0 + 400, "v2", "GET", "/b.html");
    Feed(log);
    EXPECT_EQ(a->ViewSamples, 1);
    EXPECT_EQ(a->ViewTimeSum, 30);
    EXPECT_EQ(a->LoadTimeSum, 11);
    // A view shorter than the load counts the load as the view.
    CSiteMap other("index.html");
    CSitePage* c = other.AddPage("/c.html");
    c->Size = 35000;
    CLogAnalyzer a2(other, "", 0, kLatestLogTime - 1, nullptr);
    std::string log2 = Line(t0, "v", "GET", "/c.html") + Line(t0 + 4, "v", "GET", "/d.html");
    CMemoryLogStream stream(log2);
    CCommonLogReader reader(stream);
    a2.ProcessRecords(reader);
    EXPECT_EQ(c->ViewTimeSum, 10);
    EXPECT_EQ(c->LoadTimeSum, 10);
}

TEST_F(LogAnalyzerTest, SizesAreAskedOfTheSiteOnceWhenNeeded) {
    TempDir dir;
    dir.Write("a.html", std::string(7000, 'a'));
    map.SetAccess(std::make_unique<CLocalSiteAccess>(dir.path));
    Feed(Line(t0, "v1", "GET", "/a.html") + Line(t0 + 1, "v1", "GET", "/missing.gif") +
         Line(t0 + 20, "v1", "GET", "/b.html"));
    EXPECT_EQ(map.FindPage("/a.html")->Size, 7000);
    EXPECT_EQ(map.FindFile("/missing.gif")->Size, -1);
    EXPECT_EQ(map.FindPage("/a.html")->LoadTimeSum, 2);
}

TEST_F(LogAnalyzerTest, NoRecordInTheFirstTwentyLines) {
    std::string log(21 * 2, '\n');
    log += Line(t0, "v1", "GET", "/a.html");
    EXPECT_EQ(Outcome(log).outcome, LogReadResult::NoMatch);
}

TEST(VisitorTable, FindsByClientKeepsCreationOrderAndForgets) {
    CVisitorTable table;
    std::mt19937 random(3);
    std::vector<std::string> clients;
    for (int i = 0; i < 3000; ++i) {
        clients.push_back("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    }
    for (const std::string& client : clients) {
        table.FindOrCreate(client);
    }
    EXPECT_EQ(table.Size(), clients.size());
    EXPECT_EQ(table.FindOrCreate(clients[17]), table.Find(clients[17]));
    EXPECT_EQ(table.Size(), clients.size());
    EXPECT_EQ(table.Find("10.0.0.1 "), nullptr);  // exact identity
    // Page hits at random times; then everything inactive for more than 1800 s at 5000 goes.
    std::vector<time_t> last(clients.size());
    for (std::size_t i = 0; i < clients.size(); ++i) {
        last[i] = static_cast<time_t>(random() % 5000);
        table.Find(clients[i])->LastHitTime = last[i];
    }
    std::size_t removed = table.RemoveInactive(5000, 1800);
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        CLogVisitor* v = table.Find(clients[i]);
        if (5000 - last[i] > 1800) {
            EXPECT_EQ(v, nullptr) << clients[i];
        } else {
            ASSERT_NE(v, nullptr) << clients[i];
            EXPECT_EQ(v->Client, clients[i]);
            kept.push_back(clients[i]);
        }
    }
    EXPECT_EQ(removed + kept.size(), clients.size());
    ASSERT_EQ(table.Size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(table.Visitors()[i]->Client, kept[i]);  // creation order
    }
    // A forgotten client comes back as a new visitor at the end.
    std::string gone;
    for (std::size_t i = 0; i < clients.size() && gone.empty(); ++i) {
        if (5000 - last[i] > 1800) {
            gone = clients[i];
        }
    }
    CLogVisitor* again = table.FindOrCreate(gone);
    EXPECT_EQ(again->LastHitTime, 0);
    EXPECT_EQ(table.Visitors().back().get(), again);
    EXPECT_EQ(table.RemoveInactive(5000, 1800), 1u);  // new, never hit: 0 is long ago
}

}  // namespace
