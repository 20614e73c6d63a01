// The analysis rules: visitors, transitions with and without referer, frames, the sweep, decay,
// the range boundaries, progress and the time estimate, images and timing samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

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

TEST_F(LogAnalyzerTest, ConsecutivePagesOfAVisitorMakeATransitionAndATimingSample) {
    std::string log = Line(t0, "v1", "GET", "/a.html") + Line(t0 + 20, "v1", "GET", "/b.html");
    EXPECT_EQ(Feed(log), 2);
    EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);
    EXPECT_EQ(LinkCount(), 1u);
    CSitePage* a = map.FindPage("/a.html");
    EXPECT_EQ(a->ViewSamples, 1);
    EXPECT_EQ(a->ViewTimeSum, 20);
    EXPECT_EQ(a->LoadTimeSum, 0);
    EXPECT_EQ(map.HitCount, 2);
    EXPECT_EQ(analyzer->Visitors().Find("v1")->Page, map.FindPage("/b.html"));
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

TEST_F(LogAnalyzerTest, TheSamePageAgainMakesNoTransitionButASample) {
    Feed(Line(t0, "v1", "GET", "/a.html") + Line(t0 + 7, "v1", "GET", "/a.html"));
    EXPECT_EQ(LinkCount(), 0u);
    EXPECT_EQ(map.FindPage("/a.html")->ViewSamples, 1);
    EXPECT_EQ(map.FindPage("/a.html")->ViewTimeSum, 7);
}

TEST_F(LogAnalyzerTest, AFrameOfTheCurrentFrameSetKeepsTheFrameSet) {
    CSitePage* frameset = map.AddPage("/frames.html");
    CSitePage* frame = map.AddPage("/menu.html");
    frameset->Frames.push_back(frame);
    Feed(Line(t0, "v1", "GET", "/frames.html") + Line(t0 + 1, "v1", "GET", "/menu.html") +
         Line(t0 + 9, "v1", "GET", "/b.html"));
    EXPECT_EQ(frameset->FindLink(frame), nullptr);
    EXPECT_EQ(Weight("/frames.html", "/b.html"), 1.0);
    EXPECT_EQ(analyzer->Visitors().Find("v1")->Page, map.FindPage("/b.html"));
}

TEST_F(LogAnalyzerTest, OnlyGetRequestsMakeVisits) {
    std::string log = Line(t0, "v1", "GET", "/a.html") + Line(t0 + 1, "v1", "POST", "/b.html") +
                      Line(t0 + 2, "v1", "HEAD", "/c.html") + Line(t0 + 3, "v1", "GET", "/d.html");
    EXPECT_EQ(Feed(log), 4);
    EXPECT_EQ(map.PageCount(), 2);
    EXPECT_EQ(Weight("/a.html", "/d.html"), 1.0);
    EXPECT_EQ(analyzer->VisitHits(), 2);
    // A W3C log without a method column: hits, but no visits at all.
    CSiteMap w3cMap("index.html");
    CLogAnalyzer a(w3cMap, "www.example.com", 0, kLatestLogTime - 1, nullptr);
    std::string w3c =
        "#Fields: date time c-ip cs-uri-stem\n2026-10-01 10:00:00 v1 /a.html\n"
        "2026-10-01 10:00:05 v1 /b.html\n";
    CMemoryLogStream stream(w3c);
    CW3CLogReader reader(stream);
    EXPECT_EQ(a.ProcessRecords(reader).hits, 2);
    EXPECT_EQ(w3cMap.PageCount(), 0);
    EXPECT_EQ(w3cMap.HitCount, 0);
}

TEST_F(LogAnalyzerTest, AVisitorInactiveForMoreThan1800SecondsIsForgotten) {
    // Inactive for exactly 1800 seconds: still known.
    Feed(Line(t0, "v1", "GET", "/a.html") + Line(t0 + 1800, "v1", "GET", "/b.html"));
    EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);
    // One second more: forgotten at the sweep of the later record's time.
    map.ResetStatistics();
    analyzer.reset();
    Feed(Line(t0, "v1", "GET", "/a.html") + Line(t0 + 1801, "v1", "GET", "/b.html"));
    EXPECT_EQ(Weight("/a.html", "/b.html"), 0.0);
    EXPECT_EQ(analyzer->Visitors().Size(), 1u);
    // The sweep runs at most every 60 seconds of log time: a visitor that expires between two
    // sweeps is still known at a hit before the next one.
    map.ResetStatistics();
    analyzer.reset();
    std::string log = Line(t0, "v1", "GET", "/a.html") +         // sweep at t0
                      Line(t0 + 1790, "v2", "GET", "/x.html") +  // sweep at t0 + 1790
                      Line(t0 + 1830, "v1", "GET", "/b.html");   // 40 s later: no sweep
    Feed(log);
    EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);
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

TEST_F(LogAnalyzerTest, RangeBoundaries) {
    // A record at exactly the start, before the first later one, does not count; one at exactly
    // the end does.
    std::string log = Line(t0 - 5, "v", "GET", "/0.html") + Line(t0, "v", "GET", "/1.html") +
                      Line(t0 + 1, "v", "GET", "/2.html") + Line(t0 + 10, "v", "GET", "/3.html") +
                      Line(t0 + 11, "v", "GET", "/4.html");
    Analyzer(t0, t0 + 10);
    EXPECT_EQ(Feed(log), 2);
    EXPECT_EQ(map.FindPage("/1.html"), nullptr);
    EXPECT_NE(map.FindPage("/2.html"), nullptr);
    EXPECT_NE(map.FindPage("/3.html"), nullptr);
    EXPECT_EQ(map.FindPage("/4.html"), nullptr);
}

TEST_F(LogAnalyzerTest, ALogWhoseTailDoesNotParseIsStillRead) {
    // The last record cannot be read, so the log's end is unknown: it must not be taken as older
    // than a range of recent days.
    std::string log = Line(t0, "v1", "GET", "/a.html") + Line(t0 + 5, "v1", "GET", "/b.html");
    log += std::string(2000, '#') + "\n";
    Analyzer(t0 - 86400, t0 + 86400);
    EXPECT_EQ(Feed(log), 2);
    EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);
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

TEST_F(LogAnalyzerTest, NamesThatDifferOnlyAsSameNameAllowAreOnePage) {
    std::string log = Line(t0, "v1", "GET", "/A.HTM") + Line(t0 + 1, "v2", "GET", "/a.html") +
                      Line(t0 + 2, "v3", "GET", "/a.html") + Line(t0 + 3, "v3", "GET", "/b.gif") +
                      Line(t0 + 4, "v3", "GET", "/b.jpg");
    Feed(log);
    EXPECT_EQ(map.PageCount(), 1);
    EXPECT_EQ(map.PageAt(0)->Name, "/A.HTM");
    EXPECT_EQ(map.FileCount(), 2);
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
