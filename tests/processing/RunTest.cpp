// Full runs of an agent on a small local site: what each phase leaves, the parameter blocks,
// accumulated statistics, Stop in every phase, every way a run can fail, the prefetch orders
// set by hand across a fresh start, and what the run records in the agent.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "ArchiveReader.h"
#include "RunFixture.h"

namespace {

using namespace runtest;

const std::vector<std::string> kFullRunTitles = {
    "Analyzing site ...",       "Analyzing site's files",  "Analyzing log files ...",
    "Analyzing site's files",   "Site Backup to site.zip", "Concluding Caching Instructions",
    "Embedding Java into Site", "Analyzing site's files",
};

std::set<std::string> FileNames(const std::string& directory) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::vector<std::string> Names(const std::vector<CSitePage*>& pages) {
    std::vector<std::string> names;
    for (const CSitePage* page : pages) {
        names.push_back(page->Name);
    }
    return names;
}

// Month and day without leading zeros, two-digit year, 12-hour clock.
const std::regex kProcessTimeForm(
    "[1-9][0-9]?/[1-9][0-9]?/[0-9]{2} (0[1-9]|1[0-2]):[0-5][0-9] (AM|PM)");

using RunTest = RunFixture;

TEST_F(RunTest, AFullRunBacksUpAnalysesAndEmbedsTheSite) {
    agent.StatWeight = 2;  // "Major": recent hits weigh more
    RecordingSink sink;
    ASSERT_TRUE(Run(&sink)) << GetLastMessage();
    EXPECT_EQ(sink.titles, kFullRunTitles);
    EXPECT_TRUE(sink.messages.empty());
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_EQ(sink.calls.back(), "close");
    // Stop is off exactly while the pages are rewritten.
    auto at = [&](const std::string& call) {
        return std::find(sink.calls.begin(), sink.calls.end(), call) - sink.calls.begin();
    };
    const auto embedding = at("title:Embedding Java into Site");
    EXPECT_EQ(at("stop:off"), embedding - 1);
    EXPECT_GT(at("stop:on"), embedding);
    EXPECT_EQ(std::count(sink.calls.begin(), sink.calls.end(), "stop:off"), 1);
    for (const char* status : {"Processing page index.html", "Processing page b.html",
                               "Processing file logo.gif", "Processing log file access.log"}) {
        EXPECT_NE(std::find(sink.statuses.begin(), sink.statuses.end(), status),
                  sink.statuses.end())
            << status;
    }

    // Every page carries the applet; the image is left alone.
    EXPECT_TRUE(Embedded("index.html", kIndexHtml));
    EXPECT_TRUE(Embedded("a.html", kAHtml));
    EXPECT_TRUE(Embedded("b.html", kBHtml));
    EXPECT_EQ(Site("logo.gif"), kLogoGif);
    const std::set<std::string> agentFiles = FileNames(dir / "site/tarvik");
    for (const std::string& name : kAppletFiles) {
        EXPECT_EQ(ReadWholeFile(dir / ("site/tarvik/" + name)),
                  ReadWholeFile(kBuiltRuntime + name));
    }
    EXPECT_TRUE(agentFiles.count("index.qvf"));
    EXPECT_EQ(ReadWholeFile(dir / "site/tarvik/quorvane.properties"), "ShowPrefetch=no\n");
    EXPECT_TRUE(agentFiles.count("fetch0x0.qvf"));

    // The backup holds the pages as they were before the embedding.
    const std::string root = (dir / "site").substr(1) + "/";
    EXPECT_EQ(ReadArchive(dir / "backup/site.zip"),
              (std::map<std::string, std::string>{{root + "a.html", kAHtml},
                                                  {root + "b.html", kBHtml},
                                                  {root + "index.html", kIndexHtml}}));

    // What the logs taught the graph, and where the next accumulating run would resume.
    EXPECT_EQ(Map().HitCount, 5);
    EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
    EXPECT_EQ(Weight("/index.html", "/b.html"), 1.0);
    EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);
    EXPECT_EQ(Map().LastLogFile, dir / "logs/access.log");
    EXPECT_EQ(Map().LastLogPosition, static_cast<int64_t>(FirstLog().size()));
    EXPECT_EQ(Map().DecayPeriod, 10);
    EXPECT_DOUBLE_EQ(Map().DecayFactor, 0.8);

    EXPECT_TRUE(agent.IsProcessed);
    EXPECT_TRUE(std::regex_match(agent.ProcessTime, kProcessTimeForm)) << agent.ProcessTime;
}

// A failure without a sink shows nothing; the message is left for the caller.
TEST_F(RunTest, WithoutASinkARunIsSilent) {
    agent.HomePage = "gone.html";
    SetLastMessageText("");
    EXPECT_FALSE(Run(nullptr));
    EXPECT_EQ(GetLastMessage(), "Could not read file /gone.html");
    EXPECT_FALSE(agent.IsProcessed);
}

// The first step of the step-by-step processing alone (the command transcripts show what it
// leaves): without the embedding, Stop is switched off once the instructions are concluded.
TEST_F(RunTest, TheSiteMapPhaseSwitchesStopOffOnce) {
    RecordingSink map;
    ASSERT_TRUE(Run(&map, kRunMap)) << GetLastMessage();
    EXPECT_EQ(std::count(map.calls.begin(), map.calls.end(), "stop:off"), 1);
    EXPECT_EQ(std::count(map.calls.begin(), map.calls.end(), "stop:on"), 0);
}

TEST_F(RunTest, IgnoredLogsShowTheirTitleButNoLogIsRead) {
    agent.ignoreLogFile = true;
    agent.LogFile = dir / "logs/none-*.log";
    RecordingSink sink;
    ASSERT_TRUE(Run(&sink)) << GetLastMessage();
    EXPECT_EQ(sink.titles, kFullRunTitles);
    for (const std::string& status : sink.statuses) {
        EXPECT_EQ(status.find("log file"), std::string::npos) << status;
    }
    EXPECT_EQ(Map().HitCount, 0);
    EXPECT_EQ(Map().LastLogFile, "");
    EXPECT_EQ(Map().PageAt(0)->WeightSum(), 0.0);
    EXPECT_TRUE(Embedded("index.html", kIndexHtml));
}

TEST(RunParams, PageAndByteLimits) {
    struct Case {
        bool isPageLimit;
        int32_t pages;
        bool isKBLimit;
        int32_t kilobytes;
        int32_t pageLimit;
        int64_t byteLimit;
    };
    const Case cases[] = {
        {false, 2, false, 4096, -1, -1},
        {false, 2, true, 4096, -1, 4194304},
        {true, 2, false, 4096, 2, -1},
        {true, 0, true, 0, 0, 0},
        {true, 7, true, 1, 7, 1024},
        // Kilobytes that overflow 32 bits once multiplied.
        {false, 2, true, 4194304, -1, 4294967296LL},
        {false, 2, true, 2147483647, -1, 2147483647LL * 1024},
    };
    CAgentList list;
    for (const Case& c : cases) {
        CAgentSettings agent;
        agent.isPageLimit = c.isPageLimit;
        agent.CachePageLimit = c.pages;
        agent.isKBLimit = c.isKBLimit;
        agent.CacheKBLimit = c.kilobytes;
        CAgentRunTask task(&list, &agent);
        const CachingParams params = task.BuildCachingParams();
        EXPECT_EQ(params.PageLimit, c.pageLimit) << c.pages;
        EXPECT_EQ(params.ByteLimit, c.byteLimit) << c.kilobytes;
    }
}

TEST(RunParams, ExtensionsAndSwitches) {
    CAgentList list;
    const char* const lists[] = {"H\r\n", "A\r\n", "I\r\n", "V\r\n", "U\r\n", "J\r\n", "S\r\n"};
    for (int type = 0; type < kSuffixTypeCount; ++type) {
        list.SetSuffixList(type, lists[type]);
    }
    CAgentSettings agent;
    agent.CacheSuffix = "pdf, doc";
    struct Case {
        bool html, images, asp, video, audio, java, shockwave;
        std::string extensions;
    };
    const Case cases[] = {
        // The defaults: HTML, images, video and audio.
        {true, true, false, true, true, false, false, "pdf, docH\r\nI\r\nV\r\nU\r\n"},
        {true, true, true, true, true, true, true, "pdf, docH\r\nI\r\nA\r\nV\r\nU\r\nJ\r\nS\r\n"},
        {false, false, false, false, false, false, false, "pdf, doc"},
        {false, false, true, false, false, false, true, "pdf, docA\r\nS\r\n"},
        {false, false, false, false, false, true, false, "pdf, docJ\r\n"},
    };
    for (const Case& c : cases) {
        agent.CacheHTML = c.html;
        agent.CacheImages = c.images;
        agent.CacheASP = c.asp;
        agent.CacheVideo = c.video;
        agent.CacheAudio = c.audio;
        agent.CacheJava = c.java;
        agent.CacheShockwave = c.shockwave;
        EXPECT_EQ(CAgentRunTask(&list, &agent).BuildCachingParams().Extensions, c.extensions);
    }

    CachingParams off = CAgentRunTask(&list, &agent).BuildCachingParams();
    EXPECT_FALSE(off.CacheCGI);
    EXPECT_FALSE(off.AsciiPrefetch);
    EXPECT_FALSE(off.ShowPrefetch);
    agent.CacheCGI = true;
    agent.IsShowPrefetch = true;
    list.SetAscii(true);
    CachingParams on = CAgentRunTask(&list, &agent).BuildCachingParams();
    EXPECT_TRUE(on.CacheCGI);
    EXPECT_TRUE(on.AsciiPrefetch);
    EXPECT_TRUE(on.ShowPrefetch);
}

// Logs rotate between two runs: the first run read ex1.log, then ex1.log went away and ex2.log
// came. An accumulating run adds ex2.log to what it had; otherwise the graph is rebuilt from
// ex2.log alone.
TEST_F(RunTest, AccumulationKeepsWhatEarlierRunsLearnt) {
    struct Case {
        bool accumulate;
        int32_t hits;
        double indexToA;
        double aToB;
        int indexSamples;
    };
    const Case cases[] = {
        // Page hits count; the image's does not.
        {true, 5 + 2, 1.0, 2.0, 2},
        {false, 2, 0.0, 1.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.accumulate ? "accumulate" : "fresh");
        agent.SiteMap.reset();
        agent.IsBackup = false;
        agent.StatAccumulate = c.accumulate;
        agent.LogFile = dir / "logs/ex*.log";
        fs::remove_all(dir / "logs");
        WriteLog("ex1.log", FirstLog());
        ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
        EXPECT_EQ(Map().HitCount, 5);
        EXPECT_EQ(Map().LastLogFile, dir / "logs/ex1.log");
        EXPECT_EQ(Map().LastLogNumber, 1);

        fs::remove(dir / "logs/ex1.log");
        WriteLog("ex2.log", LogLine(t0 + 3600, "v3", "/a.html") +
                                LogLine(t0 + 3610, "v3", "/b.html") +
                                LogLine(t0 + 3620, "v3", "/logo.gif"));
        ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
        EXPECT_EQ(Map().HitCount, c.hits);
        EXPECT_EQ(Weight("/index.html", "/a.html"), c.indexToA);
        EXPECT_EQ(Weight("/a.html", "/b.html"), c.aToB);
        EXPECT_EQ(Page("/index.html")->ViewSamples, c.indexSamples);
        EXPECT_EQ(Map().LastLogFile, dir / "logs/ex2.log");
        EXPECT_EQ(Map().LastLogNumber, 2);
    }
}

// Nobody followed a link back to the home page, so nothing but static links of weight 0 leads
// to it; the pages found again by the crawl of an accumulating run keep what the logs taught.
TEST_F(RunTest, PagesFoundAgainKeepTheirStatistics) {
    agent.StatAccumulate = true;
    agent.IsBackup = false;
    ASSERT_TRUE(dir.WriteFile("site/b.html", "<html><body>no links</body></html>"));
    ASSERT_TRUE(dir.WriteFile("site/a.html", "<html><body><a href=\"b.html\">B</a></body></html>"));
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    ASSERT_EQ(Map().PageCount(), 3);
    EXPECT_EQ(Map().PageAt(0)->Name, "/index.html");
    EXPECT_EQ(Page("/index.html")->ViewSamples, 2);

    for (int step = 0; step < 2; ++step) {
        SCOPED_TRACE(step == 0 ? "full run" : "site map step");
        ASSERT_TRUE(step == 0 ? Run(nullptr) : Run(nullptr, kRunMap)) << GetLastMessage();
        ASSERT_EQ(Map().PageCount(), 3);
        EXPECT_EQ(Map().PageAt(0)->Name, "/index.html");
        EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
        EXPECT_EQ(Weight("/index.html", "/b.html"), 1.0);
        EXPECT_EQ(Page("/index.html")->ViewSamples, 2);
        EXPECT_TRUE(Page("/index.html")->FindLink(Page("/a.html"))->IsStatic);
        EXPECT_EQ(Map().HitCount, 5);
    }

    // The crawl no longer finds a.html and b.html: a page that a learnt link leads to stays,
    // no longer static; one that nothing leads to any more is dropped.
    ASSERT_TRUE(dir.WriteFile("site/index.html", "<html><body>alone</body></html>"));
    CSitePage* b = Page("/b.html");
    for (const auto& page : Map().Pages()) {
        page->RemoveLinksIf([b](const CPageLink& link) { return link.Target == b; });
    }
    ASSERT_TRUE(Run(nullptr, kRunMap)) << GetLastMessage();
    EXPECT_EQ(Page("/b.html"), nullptr);
    ASSERT_NE(Page("/a.html"), nullptr);
    EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
    EXPECT_FALSE(Page("/index.html")->FindLink(Page("/a.html"))->IsStatic);
    EXPECT_EQ(Page("/index.html")->ViewSamples, 2);
}

// Stop pressed while the logs are read, in any file at any record: the run learns nothing (an
// agent without a graph before has none after), and the next accumulating run counts every hit
// once. The end result is that of a run that was never stopped.
TEST_F(RunTest, AStoppedLogPhaseIsNotLearntTwice) {
    const std::string v1 = LogLine(t0, "v1", "/index.html") + LogLine(t0 + 20, "v1", "/a.html") +
                           LogLine(t0 + 50, "v1", "/b.html");
    const std::string v2 =
        LogLine(t0 + 100, "v2", "/index.html") + LogLine(t0 + 130, "v2", "/b.html");
    struct Case {
        const char* what;
        std::vector<std::string> logs;  // ex1.log, ex2.log ...
        int recordsRead;                // before Stop
    };
    const Case cases[] = {
        {"one file, after the first visit", {v1 + v2}, 3},
        {"one file, at once", {v1 + v2}, 0},
        {"second file", {v1, v2}, 3},
        {"first file", {v1, v2}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        agent.SiteMap.reset();
        agent.IsBackup = false;
        agent.StatAccumulate = true;
        agent.LogFile = dir / "logs/ex*.log";
        fs::remove_all(dir / "logs");
        for (std::size_t i = 0; i < c.logs.size(); ++i) {
            WriteLog("ex" + std::to_string(i + 1) + ".log", c.logs[i]);
        }
        RecordingSink sink("Analyzing log files ...", c.recordsRead);
        EXPECT_FALSE(Run(&sink));
        EXPECT_EQ(GetLastMessage(), "Process Stopped");
        EXPECT_TRUE(sink.messages.empty());
        EXPECT_EQ(agent.SiteMap, nullptr);

        ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
        EXPECT_EQ(Map().HitCount, 5);
        EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
        EXPECT_EQ(Weight("/index.html", "/b.html"), 1.0);
        EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);
        EXPECT_EQ(Page("/index.html")->ViewSamples, 2);
        EXPECT_EQ(Map().LastLogFile, dir / ("logs/ex" + std::to_string(c.logs.size()) + ".log"));
    }
}

// Stop pressed as a phase begins. Nothing is shown; only the phases that cannot be stopped
// (planning, embedding) let the run finish.
TEST_F(RunTest, StopInEachPhase) {
    struct Case {
        std::string title;
        bool succeeded;
        std::string message;
    };
    const Case cases[] = {
        {"Analyzing site ...", false, "Process Stopped"},
        {"Analyzing site's files", false, "Process Stopped"},
        {"Analyzing log files ...", false, "Process Stopped"},
        {"Site Backup to site.zip", false, "Site Backup failed. Aborting..."},
        {"Concluding Caching Instructions", true, ""},
        {"Embedding Java into Site", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        agent.SiteMap.reset();
        agent.IsProcessed = true;
        agent.ProcessTime.clear();
        fs::remove_all(dir / "site/tarvik");
        fs::remove_all(dir / "backup/site.zip");
        ASSERT_TRUE(WriteSite(dir / "site"));
        SetLastMessageText("");

        RecordingSink sink(c.title);
        EXPECT_EQ(Run(&sink), c.succeeded);
        EXPECT_TRUE(sink.messages.empty());
        EXPECT_EQ(sink.calls.back(), "close");
        EXPECT_EQ(sink.titles.back(), c.succeeded ? "Analyzing site's files" : c.title);
        EXPECT_EQ(agent.IsProcessed, c.succeeded);
        EXPECT_TRUE(std::regex_match(agent.ProcessTime, kProcessTimeForm)) << agent.ProcessTime;
        if (!c.succeeded) {
            EXPECT_EQ(GetLastMessage(), c.message);
            EXPECT_TRUE(PagesUntouched());
            EXPECT_FALSE(fs::exists(dir / "site/tarvik"));
            EXPECT_FALSE(fs::exists(dir / "backup/site.zip"));
        } else {
            EXPECT_TRUE(Embedded("a.html", kAHtml));
        }
    }
}

// Every way a run ends in failure, with the one message it shows.
TEST_F(RunTest, EachFailureShowsItsMessage) {
    struct Case {
        const char* what;
        std::function<void(RunTest&)> setup;
        std::string message;
        bool pagesChanged;
    };
    const std::string work = dir / "work";
    const Case cases[] = {
        {"home page", [](RunTest& t) { t.agent.HomePage = "missing.html"; },
         "Could not read file /missing.html", false},
        {"no logs", [](RunTest& t) { t.agent.LogFile = t.dir / "logs/ex*.log"; },
         "No log files match your request ex*.log", false},
        {"range",
         [](RunTest& t) {
             t.agent.StatRange = kRangeSpecify;
             t.agent.StartTime = LocalTime(2001, 1, 1, 0, 0, 0);
             t.agent.EndTime = LocalTime(2001, 12, 31, 0, 0, 0);
         },
         "No hits match your time range", false},
        {"format", [](RunTest& t) { t.agent.LogFromat = 8; },
         "Log file access.log contents does not match specified format (W3C Extended).", false},
        {"backup", [](RunTest& t) { t.agent.BackupDir = t.dir / "no-such-dir/site.zip"; },
         "Site Backup failed. Aborting...", false},
        {"agent directory",
         [](RunTest& t) { ASSERT_TRUE(t.dir.WriteFile("site/tarvik", "a file")); },
         "\"/tarvik\" is not a directory name", false},
        // The applet's files are copied after the pages: those stay embedded.
        {"applet file", [work](RunTest&) { fs::remove(work + "/b.class"); },
         "Could not copy file 'b.class' into the Agent directory", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAgentSettings saved;
        saved.AssignSettings(agent);
        agent.SiteMap.reset();
        agent.IsProcessed = true;
        c.setup(*this);
        RecordingSink sink;
        EXPECT_FALSE(Run(&sink));
        EXPECT_EQ(GetLastMessage(), c.message);
        EXPECT_EQ(sink.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(sink.calls.back(), "close");
        EXPECT_FALSE(agent.IsProcessed);
        EXPECT_TRUE(std::regex_match(agent.ProcessTime, kProcessTimeForm));
        EXPECT_EQ(!PagesUntouched(), c.pagesChanged);
        if (!c.pagesChanged) {
            EXPECT_FALSE(fs::is_directory(dir / "site/tarvik"));
        }

        // Undo, and make sure the site is whole again for the next case.
        agent.AssignSettings(saved);
        fs::remove_all(dir / "site/tarvik");
        WriteApplets(work);
        ASSERT_TRUE(WriteSite(dir / "site"));
    }
}

// The prefetch orders set by hand come back after a fresh run, by page name; names that are no
// longer in the site are dropped.
TEST_F(RunTest, ForcedOrdersSurviveAFreshStart) {
    ASSERT_TRUE(dir.WriteFile("site/b.html", "<html><body><a href=\"c.html\">C</a></body></html>"));
    ASSERT_TRUE(dir.WriteFile("site/c.html", "<html><body>c</body></html>"));
    agent.IsBackup = false;
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    ASSERT_EQ(Map().PageCount(), 4);
    CSitePage* index = Page("/index.html");
    index->ForcePrefetchOrder = true;
    index->ForcedPrefetchPages = {Page("/c.html"), Page("/b.html"), Page("/a.html")};
    Page("/a.html")->ForcedPrefetchPages = {index};  // a list, switched off
    Page("/b.html")->ForcePrefetchOrder = true;      // switched on, nothing listed
    Page("/c.html")->ForcePrefetchOrder = true;
    Page("/c.html")->ForcedPrefetchPages = {index};

    // c.html is gone from the site.
    ASSERT_TRUE(dir.WriteFile("site/b.html", kBHtml));
    fs::remove(dir / "site/c.html");
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    EXPECT_EQ(Map().HitCount, 5);  // a fresh graph: the log was read once more, from the start
    EXPECT_EQ(Page("/c.html"), nullptr);
    index = Page("/index.html");
    EXPECT_TRUE(index->ForcePrefetchOrder);
    EXPECT_EQ(Names(index->ForcedPrefetchPages), (std::vector<std::string>{"/b.html", "/a.html"}));
    EXPECT_FALSE(Page("/a.html")->ForcePrefetchOrder);
    EXPECT_EQ(Names(Page("/a.html")->ForcedPrefetchPages),
              (std::vector<std::string>{"/index.html"}));
    EXPECT_TRUE(Page("/b.html")->ForcePrefetchOrder);
    EXPECT_TRUE(Page("/b.html")->ForcedPrefetchPages.empty());
    // Planning followed the order: exactly the forced pages are prefetched from the home page.
    EXPECT_TRUE(index->FindLink(Page("/a.html"))->IsPrefetched);
    EXPECT_TRUE(index->FindLink(Page("/b.html"))->IsPrefetched);
}

class ProcessTimeTest : public testing::Test {
  protected:
    ScopedTimeZone zone{"Europe/Berlin"};
};

TEST_F(ProcessTimeTest, MonthAndDayWithoutLeadingZeros) {
    struct Case {
        int year, month, day, hour, minute;
        const char* text;
    };
    const Case cases[] = {
        {2026, 1, 5, 9, 5, "1/5/26 09:05 AM"},     {2026, 12, 16, 21, 30, "12/16/26 09:30 PM"},
        {2000, 10, 1, 0, 0, "10/1/00 12:00 AM"},   {2031, 7, 4, 12, 59, "7/4/31 12:59 PM"},
        {2026, 3, 29, 3, 15, "3/29/26 03:15 AM"},   // the first hour of summer time
        {2039, 2, 28, 23, 59, "2/28/39 11:59 PM"},  // past 2038: 64-bit times
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatProcessTime(LocalTime(c.year, c.month, c.day, c.hour, c.minute, 0)),
                  c.text);
    }
}

TEST_F(RunTest, RunAgentRecordsTheTimeOfTheRun) {
    agent.IsBackup = false;
    const time_t before = time(nullptr);
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    const time_t after = time(nullptr);
    EXPECT_TRUE(agent.ProcessTime == FormatProcessTime(before) ||
                agent.ProcessTime == FormatProcessTime(after))
        << agent.ProcessTime;
    EXPECT_TRUE(agent.IsProcessed);
}

}  // namespace
