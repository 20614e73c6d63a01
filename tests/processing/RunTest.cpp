// Full runs of an agent on a small local site: what each phase leaves, the parameter blocks,
// accumulated statistics, Stop in every phase, every way a run can fail, the prefetch orders
// set by hand across a fresh start, and what the run records in the agent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <regex>

#include "ArchiveReader.h"
#include "RunFixture.h"

namespace {

using namespace runtest;

// Month and day without leading zeros, two-digit year, 12-hour clock.
const std::regex kProcessTimeForm(
    "[1-9][0-9]?/[1-9][0-9]?/[0-9]{2} (0[1-9]|1[0-2]):[0-5][0-9] (AM|PM)");

using RunTest = RunFixture;

TEST_F(RunTest, AFullRunBacksUpAnalysesAndEmbedsTheSite) {
    agent.StatWeight = 2;  // "Major": recent hits weigh more
    RecordingSink sink;
    const time_t before = time(nullptr);
    ASSERT_TRUE(Run(&sink)) << GetLastMessage();
    const time_t after = time(nullptr);
    EXPECT_EQ(sink.titles, (std::vector<std::string>{
                               "Analyzing site ...", "Analyzing site's files",
                               "Analyzing log files ...", "Analyzing site's files",
                               "Site Backup to site.zip", "Concluding Caching Instructions",
                               "Embedding Java into Site", "Analyzing site's files"}));
    EXPECT_TRUE(sink.messages.empty());
    // Stop is off exactly while the pages are rewritten.
    auto at = [&](const std::string& call) {
        return std::find(sink.calls.begin(), sink.calls.end(), call) - sink.calls.begin();
    };
    const auto embedding = at("title:Embedding Java into Site");
    EXPECT_EQ(at("stop:off"), embedding - 1);
    EXPECT_GT(at("stop:on"), embedding);
    EXPECT_EQ(std::count(sink.calls.begin(), sink.calls.end(), "stop:off"), 1);
    for (const char* status :
         {"Processing page b.html", "Processing file logo.gif", "Processing log file access.log"}) {
        EXPECT_NE(std::find(sink.statuses.begin(), sink.statuses.end(), status),
                  sink.statuses.end())
            << status;
    }

    // Every page carries the applet; the image is left alone.
    EXPECT_TRUE(Embedded("index.html", kIndexHtml));
    EXPECT_TRUE(Embedded("a.html", kAHtml));
    EXPECT_TRUE(Embedded("b.html", kBHtml));
    EXPECT_EQ(Site("logo.gif"), kLogoGif);

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
    EXPECT_TRUE(agent.ProcessTime == FormatProcessTime(before) ||
                agent.ProcessTime == FormatProcessTime(after))
        << agent.ProcessTime;
}

// The parameter block a run plans with: each switch, the limits (kilobytes that overflow 32 bits
// once multiplied) and the suffix lists of the types switched on, in a fixed order after the
// agent's own suffixes.
TEST(RunParams, TheCachingParametersFollowTheSwitches) {
    CAgentList list;
    for (int type = 0; type < kSuffixTypeCount; ++type) {
        list.SetSuffixList(type, std::string(1, "HAIVUJS"[type]));
    }
    struct Case {
        const char* on;  // Page and Kb limits, HTML Image Asp Video aUdio Java Shockwave, Cgi,
                         // shoW prefetch, plain Text
        int32_t pages, kilobytes, pageLimit;
        int64_t byteLimit;
        const char* extensions;
    };
    const Case cases[] = {
        {"HIVU", 2, 4096, -1, -1, "pdf,HIVU"},
        {"PKHIAVUJSCWT", 7, 1, 7, 1024, "pdf,HIAVUJS"},
        {"PK", 0, 0, 0, 0, "pdf,"},
        {"KAS", 2, 4194304, -1, 4294967296LL, "pdf,AS"},
        {"KJ", 2, 2147483647, -1, 2147483647LL * 1024, "pdf,J"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.on);
        const auto on = [&c](char flag) { return std::strchr(c.on, flag) != nullptr; };
        CAgentSettings agent;
        agent.CacheSuffix = "pdf,";
        agent.isPageLimit = on('P');
        agent.CachePageLimit = c.pages;
        agent.isKBLimit = on('K');
        agent.CacheKBLimit = c.kilobytes;
        agent.CacheHTML = on('H');
        agent.CacheImages = on('I');
        agent.CacheASP = on('A');
        agent.CacheVideo = on('V');
        agent.CacheAudio = on('U');
        agent.CacheJava = on('J');
        agent.CacheShockwave = on('S');
        agent.CacheCGI = on('C');
        agent.IsShowPrefetch = on('W');
        list.SetAscii(on('T'));
        const CachingParams params = CAgentRunTask(&list, &agent).BuildCachingParams();
        EXPECT_EQ(params.PageLimit, c.pageLimit);
        EXPECT_EQ(params.ByteLimit, c.byteLimit);
        EXPECT_EQ(params.Extensions, c.extensions);
        EXPECT_EQ(params.CacheCGI, on('C'));
        EXPECT_EQ(params.ShowPrefetch, on('W'));
        EXPECT_EQ(params.AsciiPrefetch, on('T'));
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
    // Once more: the crawl finds every page again.
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    ASSERT_EQ(Map().PageCount(), 3);
    EXPECT_EQ(Map().PageAt(0)->Name, "/index.html");
    EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
    EXPECT_EQ(Weight("/index.html", "/b.html"), 1.0);
    EXPECT_EQ(Page("/index.html")->ViewSamples, 2);
    EXPECT_TRUE(Page("/index.html")->FindLink(Page("/a.html"))->IsStatic);
    EXPECT_EQ(Map().HitCount, 5);

    // The crawl of the site map step no longer finds a.html and b.html: a page that a learnt
    // link leads to stays, no longer static; one that nothing leads to any more is dropped.
    // Without the embedding, Stop is switched off once the instructions are concluded.
    ASSERT_TRUE(dir.WriteFile("site/index.html", "<html><body>alone</body></html>"));
    CSitePage* b = Page("/b.html");
    for (const auto& page : Map().Pages()) {
        page->RemoveLinksIf([b](const CPageLink& link) { return link.Target == b; });
    }
    RecordingSink sink;
    ASSERT_TRUE(Run(&sink, kRunMap)) << GetLastMessage();
    EXPECT_EQ(std::count(sink.calls.begin(), sink.calls.end(), "stop:off"), 1);
    EXPECT_EQ(std::count(sink.calls.begin(), sink.calls.end(), "stop:on"), 0);
    EXPECT_EQ(Page("/b.html"), nullptr);
    ASSERT_NE(Page("/a.html"), nullptr);
    EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
    EXPECT_FALSE(Page("/index.html")->FindLink(Page("/a.html"))->IsStatic);
    EXPECT_EQ(Page("/index.html")->ViewSamples, 2);
}

// Stop pressed while the logs are read, in any file at any record: the run learns nothing (an
// agent without a graph before has none after), and the next accumulating run counts every hit
// once, as a run that was never stopped; later runs go on from there.
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

    // The logs rotate (ex1.log goes, ex3.log comes): the next run adds the page hits of ex3.log
    // (not the image's) to what it had.
    fs::remove(dir / "logs/ex1.log");
    WriteLog("ex3.log", LogLine(t0 + 3600, "v3", "/a.html") + LogLine(t0 + 3610, "v3", "/b.html") +
                            LogLine(t0 + 3620, "v3", "/logo.gif"));
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    EXPECT_EQ(Map().HitCount, 5 + 2);
    EXPECT_EQ(Weight("/a.html", "/b.html"), 2.0);
    EXPECT_EQ(Map().LastLogFile, dir / "logs/ex3.log");
    EXPECT_EQ(Map().LastLogNumber, 3);
    // A fresh run learns only from the logs there are now.
    agent.StatAccumulate = false;
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    EXPECT_EQ(Map().HitCount, 2 + 2);
}

// Stop pressed as a phase begins, or the run broken: a stopped run shows nothing, a failed one
// its one message; only the phases that cannot be stopped (planning, embedding) let a run finish.
TEST_F(RunTest, EachStopOrFailureEndsTheRunAsItShould) {
    struct Case {
        const char* what;                     // the phase Stop is pressed in, without setup
        std::function<void(RunTest&)> setup;  // breaks the run
        std::string message;                  // "" when the run succeeds
        bool pagesChanged;
    };
    const Case cases[] = {
        {"Analyzing site ...", nullptr, "Process Stopped", false},
        {"Analyzing site's files", nullptr, "Process Stopped", false},
        {"Analyzing log files ...", nullptr, "Process Stopped", false},
        {"Site Backup to site.zip", nullptr, "Site Backup failed. Aborting...", false},
        {"Concluding Caching Instructions", nullptr, "", true},
        {"Embedding Java into Site", nullptr, "", true},
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
        {"applet file", [](RunTest& t) { fs::remove(t.dir / "work/b.class"); },
         "Could not copy file 'b.class' into the Agent directory", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAgentSettings saved;
        saved.AssignSettings(agent);
        agent.SiteMap.reset();
        agent.IsProcessed = true;
        agent.ProcessTime.clear();
        SetLastMessageText("");
        RecordingSink sink(c.setup ? "" : c.what);
        if (c.setup) {
            c.setup(*this);
        }
        const bool succeeded = c.message.empty();
        EXPECT_EQ(Run(&sink), succeeded);
        if (!succeeded) {
            EXPECT_EQ(GetLastMessage(), c.message);
        }
        EXPECT_EQ(sink.messages,
                  c.setup ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(sink.calls.back(), "close");
        if (!c.setup) {
            EXPECT_EQ(sink.titles.back(), succeeded ? "Analyzing site's files" : c.what);
        }
        EXPECT_EQ(agent.IsProcessed, succeeded);
        EXPECT_TRUE(std::regex_match(agent.ProcessTime, kProcessTimeForm)) << agent.ProcessTime;
        EXPECT_EQ(!PagesUntouched(), c.pagesChanged);
        if (!c.pagesChanged) {
            EXPECT_FALSE(fs::is_directory(dir / "site/tarvik"));
        }

        // Undo, and make sure the site is whole again for the next case.
        agent.AssignSettings(saved);
        fs::remove_all(dir / "site/tarvik");
        WriteApplets(dir / "work");
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
    EXPECT_EQ(index->ForcedPrefetchPages,
              (std::vector<CSitePage*>{Page("/b.html"), Page("/a.html")}));
    EXPECT_FALSE(Page("/a.html")->ForcePrefetchOrder);
    EXPECT_EQ(Page("/a.html")->ForcedPrefetchPages, std::vector<CSitePage*>{index});
    EXPECT_TRUE(Page("/b.html")->ForcePrefetchOrder);
    EXPECT_TRUE(Page("/b.html")->ForcedPrefetchPages.empty());
    // Planning followed the order: exactly the forced pages are prefetched from the home page.
    EXPECT_TRUE(index->FindLink(Page("/a.html"))->IsPrefetched);
    EXPECT_TRUE(index->FindLink(Page("/b.html"))->IsPrefetched);
}

TEST(ProcessTime, MonthAndDayWithoutLeadingZeros) {
    ScopedTimeZone zone("Europe/Berlin");
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

}  // namespace
