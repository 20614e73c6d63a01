// The analysis rules: visitors, transitions with and without referer, frames, the sweep, decay,
// the range boundaries, progress and the time estimate, images and timing samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>
#include <tuple>

#include "LogTestUtil.h"
#include "agent/AgentSettings.h"
#include "log/CommonLogReader.h"
#include "log/LogAnalyzer.h"
#include "log/LogReader.h"
#include "log/MemoryLogStream.h"
#include "log/VisitorTable.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"

namespace {

using logtest::Line;
using logtest::StepClock;

const std::string kSite = "http://www.example.com";

class LogAnalyzerTest : public logtest::ZoneTest {
  protected:
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

    CSiteMap map{"index.html"};
    std::unique_ptr<CLogAnalyzer> analyzer;
    const time_t t0 = LocalTime(2026, 10, 1, 10, 0, 0);
};

// Each page of the graph in order with its timing samples (count/view sum/load sum), its links
// with their weights and its images; then the page hits and the files.
std::string Summary(const CSiteMap& map) {
    std::ostringstream out;
    for (const auto& page : map.Pages()) {
        out << page->Name << "(" << page->ViewSamples << "/" << page->ViewTimeSum << "/"
            << page->LoadTimeSum << ")";
        for (const auto& link : page->Links) {
            out << " >" << link->Target->Name << ":" << link->Weight;
        }
        for (const CSiteFile* image : page->Images) {
            out << " +" << image->Name;
        }
        out << "; ";
    }
    out << map.HitCount << " hits, " << map.FileCount() << " files";
    return out.str();
}

// What a log teaches the graph: transitions and timing samples from a visitor's consecutive page
// views, what the range, the method, frames, referers and names change about that, and images.
TEST_F(LogAnalyzerTest, WhatALogTeachesTheGraph) {
    const time_t t = t0;
    auto get = [](time_t when, const std::string& client, const std::string& url,
                  const std::string& referer = "-") {
        return Line(when, client, "GET", url, referer);
    };
    auto refer = [&](const std::string& referer) {
        return get(t, "v1", "/a.html") + get(t + 20, "v1", "/b.html", referer);
    };
    std::string tenVisits;
    for (int i = 0; i < 10; ++i) {
        const std::string v = "v" + std::to_string(i);
        tenVisits += get(t + 2 * i, v, "/a.html") + get(t + 2 * i + 1, v, "/b.html");
    }
    auto sized = [](std::vector<std::pair<std::string, int32_t>> sizes) {
        return [sizes](CSiteMap& graph) {
            for (const auto& [name, size] : sizes) {
                (graph.IsPageName(name) ? graph.AddPage(name) : graph.AddFile(name))->Size = size;
            }
        };
    };
    auto withC = [](CSiteMap& graph) { graph.AddPage("/c.html"); };
    CTempDir site{"log"};
    ASSERT_TRUE(site.WriteFile("a.html", std::string(7000, 'a')));
    const std::string cToB =
        "/c.html(0/0/0) >/b.html:1; /a.html(1/20/0); /b.html(0/0/0); 2 hits, 0 files";
    const std::string aToB =
        "/c.html(0/0/0); /a.html(1/20/0) >/b.html:1; /b.html(0/0/0); 2 hits, 0 files";
    struct Row {
        const char* what;
        std::string log;
        int32_t hits;
        std::string graph;
        std::function<void(CSiteMap&)> setup = nullptr;
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
         [](CSiteMap& graph) {
             graph.AddPage("/frames.html")->Frames.push_back(graph.AddPage("/menu.html"));
         }},
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
         2, "/2.html(1/9/0) >/3.html:1; /3.html(0/0/0); 2 hits, 0 files", nullptr, t, t + 10},
        {"names SameName takes as one",
         get(t, "v1", "/A.HTM") + get(t + 1, "v2", "/a.html") + get(t + 2, "v3", "/a.html") +
             get(t + 3, "v3", "/b.gif") + get(t + 4, "v3", "/b.jpg"),
         5, "/A.HTM(0/0/0); 3 hits, 2 files"},
        // A referer of this site (scheme and host in any case) that names a page of the graph is
        // the source of the transition; any other is ignored, and none adds a page.
        {"a site referer", refer(kSite + "/c.html"), 2, cToB, withC},
        {"scheme and host in any case", refer("HTTP://WWW.EXAMPLE.COM/c.html"), 2, cToB, withC},
        {"another scheme", refer("https://www.example.com/c.html"), 2, aToB, withC},
        {"another host", refer("http://other.example.com/c.html"), 2, aToB, withC},
        {"not a page of the graph", refer(kSite + "/unknown.html"), 2, aToB, withC},
        // The home page setting has no leading "/" but the page is named with one.
        {"the site root names the home page",
         get(t, "v1", "/") + get(t + 5, "v2", "/b.html", kSite + "/"), 2,
         "/index.html(0/0/0) >/b.html:1; /b.html(0/0/0); 2 hits, 0 files"},
        {"a home page setting with its slash", get(t, "v1", "/x.html", kSite + "/"), 1,
         "/start.html(0/0/0) >/x.html:1; /x.html(0/0/0); 1 hits, 0 files",
         [](CSiteMap& graph) {
             graph.SetHomePage("/start.html");
             graph.AddPage("/start.html");
         }},
        {"a major weight decays on the tenth transition", tenVisits, 20,
         "/a.html(10/10/0) >/b.html:8; /b.html(0/0/0); 20 hits, 0 files",
         [](CSiteMap& graph) { graph.SetDecay(kLogDecayPeriod, DecayFactorOf(2)); }},
        // Files with a site referer become images of the page, once; file hits move no visitor
        // (v0 comes to c.html from nowhere); a request without a target names nothing.
        {"images",
         get(t, "v1", "/a.html") + get(t + 1, "v0", "/i.gif", kSite + "/a.html") +
             get(t + 2, "v1", "/i.gif", kSite + "/a.html") +
             get(t + 3, "v2", "/i.gif", kSite + "/a.html") +
             get(t + 9, "v1", "/j.gif", "http://elsewhere.example/a.html") +
             get(t + 9, "v1", "/k.gif") + "v1 - - [01/Oct/2026:10:00:09 +0200] \"GET\" 400 0\n" +
             get(t + 20, "v1", "/b.html") + get(t + 30, "v0", "/c.html"),
         9, "/a.html(0/0/0) >/b.html:1 +/i.gif; /b.html(0/0/0); /c.html(0/0/0); 3 hits, 3 files"},
        // v1's referer names a.html before anyone requested it; once the page exists, the same
        // referer names it.
        {"a referer to a page not known yet",
         get(t, "v1", "/x.gif", kSite + "/a.html") + get(t + 1, "v2", "/a.html") +
             get(t + 2, "v1", "/y.gif", kSite + "/a.html") +
             get(t + 3, "v1", "/z.gif", kSite + "/a.html") +
             get(t + 4, "v3", "/x.gif", kSite + "/a.html"),
         5, "/a.html(0/0/0) +/y.gif +/z.gif +/x.gif; 1 hits, 3 files"},
        // At 3500 bytes per second a.html loads in 10 s and i.gif in 2 s: v1's load ends at 11.
        // v2's estimate of 201 s (big.zip) exceeds 8 x the 12 s of a and its image: no sample.
        {"load estimates decide the samples",
         get(t, "v1", "/a.html") + get(t + 9, "v1", "/i.gif", kSite + "/a.html") +
             get(t + 30, "v1", "/b.html") + get(t + 100, "v2", "/a.html") +
             get(t + 101, "v2", "/big.zip") + get(t + 400, "v2", "/b.html"),
         6, "/a.html(1/30/11) >/b.html:2 +/i.gif; /b.html(0/0/0); 4 hits, 2 files",
         sized({{"/a.html", 35000}, {"/i.gif", 7000}, {"/big.zip", 3500 * 200}})},
        {"sizes asked of the site", get(t, "v1", "/a.html") + get(t + 20, "v1", "/b.html"), 2,
         "/a.html(1/20/2) >/b.html:1; /b.html(0/0/0); 2 hits, 0 files",
         [&](CSiteMap&
                 graph) { graph.SetAccess(std::make_unique<CLocalSiteAccess>(site.Path())); }},
        {"a view shorter than the load counts the load as the view",
         get(t, "v", "/c.html") + get(t + 4, "v", "/d.html"), 2,
         "/c.html(1/10/10) >/d.html:1; /d.html(0/0/0); 2 hits, 0 files",
         sized({{"/c.html", 35000}})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CSiteMap graph("index.html");
        if (row.setup) {
            row.setup(graph);
        }
        CLogAnalyzer analysis(graph, "www.example.com", row.start, row.end, nullptr);
        CMemoryLogStream stream(row.log);
        CCommonLogReader reader(stream);
        analysis.SetFileSize(static_cast<int64_t>(row.log.size()));
        EXPECT_EQ(analysis.ProcessRecords(reader).hits, row.hits);
        EXPECT_EQ(Summary(graph), row.graph);
    }
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
    const std::string text =
        "Expected Log Processing time is 15 minutes,\nyou can use the \"Time Range\" tab in the "
        "properties dialog to process only part of the log and reduce processing time. press "
        "\"Stop\" to stop log processing.";
    // The clock's start and its step at every reading, and the messages shown.
    const std::tuple<time_t, time_t, std::vector<std::string>> rows[] = {
        // 300 s for the first third: 900 s in all, above 600: shown, once.
        {t0, 300, {text}},
        // 150 s for a third: 450 s, not shown.
        {t0, 150, {}},
        // 5 s are not more than 5: no estimate yet (and later readings 10 s apart go on).
        {t0, 5, {}},
        // The range ended before the loop started: never.
        {kLatestLogTime - 1000000, 300, {}},
    };
    for (const auto& [start, step, messages] : rows) {
        RecordingSink sink;
        StepClock clock(start, step);
        Analyzer(0, kLatestLogTime - 1 - 2000000, &sink).SetClock(&clock);
        Feed(log);
        EXPECT_EQ(sink.messages, messages) << step;
    }
    // No sink: no estimate either (and nothing to show it on).
    StepClock clock(t0, 300);
    Analyzer(0, kLatestLogTime - 1).SetClock(&clock);
    Feed(log);
    EXPECT_EQ(clock.now, t0 + 300);  // read once, when the loop started
}

TEST(VisitorTable, FindsByClientAndForgets) {
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
    EXPECT_EQ(table.Find("10.0.0.1 "), nullptr);  // exact identity
    // Page hits at random times; then everything inactive for more than 1800 s at 5000 goes.
    std::vector<time_t> last(clients.size());
    for (std::size_t i = 0; i < clients.size(); ++i) {
        last[i] = static_cast<time_t>(random() % 5000);
        table.Find(clients[i])->LastHitTime = last[i];
    }
    std::size_t removed = table.RemoveInactive(5000, 1800);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        CLogVisitor* v = table.Find(clients[i]);
        if (5000 - last[i] > 1800) {
            EXPECT_EQ(v, nullptr) << clients[i];
        } else {
            ASSERT_NE(v, nullptr) << clients[i];
            EXPECT_EQ(v->Client, clients[i]);
            ++kept;
        }
    }
    EXPECT_EQ(removed + kept, clients.size());
    EXPECT_EQ(table.Size(), kept);
    // A forgotten client comes back as a new visitor.
    std::string gone;
    for (std::size_t i = 0; i < clients.size() && gone.empty(); ++i) {
        if (5000 - last[i] > 1800) {
            gone = clients[i];
        }
    }
    CLogVisitor* again = table.FindOrCreate(gone);
    EXPECT_EQ(again->LastHitTime, 0);
    EXPECT_EQ(table.RemoveInactive(5000, 1800), 1u);  // new, never hit: 0 is long ago
}

}  // namespace
