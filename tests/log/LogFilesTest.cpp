// Choosing, ordering and resuming log files, the format table and its readers, and the messages
// of the file loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "LogTestUtil.h"
#include "agent/AgentSettings.h"
#include "base/LastMessage.h"
#include "log/LogAnalyzer.h"
#include "log/LogFiles.h"
#include "log/LogReader.h"
#include "sitemap/SiteMap.h"

namespace {

using logtest::Line;
using logtest::RecordingSink;
using logtest::TempDir;

class LogFilesTest : public logtest::ZoneTest {
  protected:
    time_t T(int day, int hour, int minute = 0, int second = 0) {
        return LocalTime(2026, 10, day, hour, minute, second);
    }
    // A small log of page hits on the given day.
    std::string Log(int day, int lines = 3) {
        std::string log;
        for (int i = 0; i < lines; ++i) {
            log += Line(T(day, 10, i), "10.0.0.1", "GET", "/p" + std::to_string(i) + ".html");
        }
        return log;
    }
    // The file names (without directories) of a list.
    static std::vector<std::string> Names(const StringList& files) {
        std::vector<std::string> names;
        for (const std::string& file : files) {
            names.push_back(FileNameOf(file));
        }
        return names;
    }
};

TEST_F(LogFilesTest, LogFileNumber) {
    EXPECT_EQ(LogFileNumber("/logs/ex31.log"), 31);
    EXPECT_EQ(LogFileNumber("in4a5.log"), 45);
    EXPECT_EQ(LogFileNumber("/logs2/access.log"), 0);  // digits of directories do not count
    EXPECT_EQ(LogFileNumber("/logs/a.b7.log"), 7);     // only the last extension goes
    EXPECT_EQ(LogFileNumber("/logs/access.log.3"), 0);
    EXPECT_EQ(LogFileNumber("ex20261010.log"), 20261010);
    // 32-bit arithmetic: 12345678901 wraps around.
    EXPECT_EQ(LogFileNumber("12345678901.log"), static_cast<int32_t>(3755744309u));
}

TEST_F(LogFilesTest, ListLogFilesOrdersByNumberAndDropsWhatWasRead) {
    TempDir dir;
    for (const char* name : {"ex12.log", "ex9.log", "ex15.log", "other.txt"}) {
        dir.Write(name, "x\n");
    }
    std::filesystem::create_directory(dir.Path("ex5.log"));  // directories are left out
    std::string pattern = dir.path + "/ex*.log";
    EXPECT_EQ(Names(ListLogFiles(pattern, "", -1)),
              (std::vector<std::string>{"ex9.log", "ex12.log", "ex15.log"}));
    // Full paths as the pattern names the directory.
    EXPECT_EQ(ListLogFiles(pattern, "", -1).front(), dir.path + "/ex9.log");
    // Resuming after ex12: it and everything before it go.
    EXPECT_EQ(Names(ListLogFiles(pattern, dir.path + "/ex12.log", 12)),
              (std::vector<std::string>{"ex15.log"}));
    // A last file that is gone: everything numbered up to the last number goes.
    EXPECT_EQ(Names(ListLogFiles(pattern, dir.path + "/ex13.log", 13)),
              (std::vector<std::string>{"ex15.log"}));
    // The last file ends the dropping even when files with lower numbers follow it... which the
    // order rules out; a last number below all files drops nothing but the last file itself.
    EXPECT_EQ(Names(ListLogFiles(pattern, dir.path + "/ex9.log", 0)),
              (std::vector<std::string>{"ex12.log", "ex15.log"}));
    // Several patterns in one text are one expression and match nothing.
    EXPECT_TRUE(ListLogFiles(pattern + ";" + pattern, "", -1).empty());
    EXPECT_TRUE(ListLogFiles(dir.path + "/missing/*.log", "", -1).empty());
}

TEST_F(LogFilesTest, FilesWithoutDigitsAreDroppedUntilTheLastFile) {
    TempDir dir;
    for (const char* name : {"c.log", "a.log", "b.log"}) {
        dir.Write(name, "x\n");
    }
    std::string pattern = dir.path + "/*.log";
    EXPECT_EQ(ListLogFiles(pattern, "", -1).size(), 3u);
    EXPECT_EQ(Names(ListLogFiles(pattern, dir.path + "/b.log", 0)),
              (std::vector<std::string>{"c.log"}));
    EXPECT_TRUE(ListLogFiles(pattern, dir.path + "/z.log", 0).empty());
}

// The readers of the formats no case below reads a file under (the IIS ones with their date
// order); out-of-range formats read as Auto Detect.
TEST_F(LogFilesTest, ReadersOfEachFormat) {
    using K = LogReaderKind;
    const std::pair<int32_t, std::vector<std::pair<K, int32_t>>> rows[] = {
        {kLogIis, {{K::Iis, 0}}},
        {kLogIisUsaDate, {{K::Iis, 1}}},
        {kLogIisEuropeanDate, {{K::Iis, 2}}},
        {kLogNetscape, {{K::Common, 0}}},
        {42, {{K::Iis, 0}, {K::Common, 0}, {K::W3C, 0}}},
    };
    for (const auto& [format, expected] : rows) {
        std::vector<std::pair<K, int32_t>> kinds;
        for (const LogReaderChoice& c : LogReadersOf(format)) {
            kinds.emplace_back(c.kind, c.kind == K::Iis ? c.iisDateOrder : 0);
        }
        EXPECT_EQ(kinds, expected) << format;
    }
    EXPECT_STREQ(LogFormatName(-1), "Auto Detect");
}

// Runs the file loop as the log phase does, over all time.
struct Phase {
    explicit Phase(CProgressSink* sink = nullptr, time_t start = 0, time_t end = kLatestLogTime - 1)
        : map("index.html"), analyzer(map, "www.example.com", start, end, sink) {}
    bool Run(const std::string& pattern, int32_t format) {
        return analyzer.AnalyzeLogFiles(pattern, format, lastFile, lastNumber, position);
    }
    // Takes up where an earlier run left off.
    Phase& After(const Phase& earlier) {
        lastFile = earlier.lastFile;
        lastNumber = earlier.lastNumber;
        position = earlier.position;
        return *this;
    }
    CSiteMap map;
    CLogAnalyzer analyzer;
    std::string lastFile;
    int32_t lastNumber = -1;
    int64_t position = -1;
};

TEST_F(LogFilesTest, FilesAreReadInOrderAndTheResumeStateFollows) {
    TempDir dir;
    dir.Write("ex12.log", Log(12));
    dir.Write("ex9.log", Log(9));
    std::string last = dir.Write("ex15.log", Log(15, 5));
    RecordingSink sink;
    Phase phase(&sink);
    ASSERT_TRUE(phase.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{"Processing log file ex9.log",
                                                       "Processing log file ex12.log",
                                                       "Processing log file ex15.log"}));
    EXPECT_EQ(phase.lastFile, last);
    EXPECT_EQ(phase.lastNumber, 15);
    EXPECT_EQ(phase.position, static_cast<int64_t>(std::filesystem::file_size(last)));
    EXPECT_EQ(phase.analyzer.TotalHits(), 11);
    EXPECT_EQ(phase.map.HitCount, 11);
}

TEST_F(LogFilesTest, FailureMessages) {
    TempDir dir;
    struct Case {
        std::string pattern;
        int32_t format;
        std::string message;
    };
    dir.Write("w3c1.log",
              "#Fields: date time c-ip cs-method cs-uri\n2026-10-01 10:00:00 1.2.3.4 "
              "GET /a.html\n");
    std::string manyDirectives;
    for (int i = 0; i < 21; ++i) {
        manyDirectives += "#Remark: " + std::to_string(i) + "\n";
    }
    dir.Write("w3c2.log", "#Fields: date time c-ip cs-method cs-uri\n" + manyDirectives +
                              "2026-10-01 10:00:00 1.2.3.4 GET /a.html\n");
    dir.Write("old3.log", Log(1));
    symlink((dir.path + "/gone").c_str(), (dir.path + "/dangling4.log").c_str());
    const Case cases[] = {
        {dir.path + "/none*.log", kLogAutoDetect, "No log files match your request none*.log"},
        {dir.path + "/w3c1.log;" + dir.path + "/old3.log", kLogAutoDetect,
         "No log files match your request old3.log"},
        {dir.path + "/w3c1.log", kLogNcsa,
         "Log file w3c1.log contents does not match specified format (NCSA)."},
        {dir.path + "/w3c2.log", kLogAutoDetect,
         "Log file w3c2.log contents does not match specified format (Auto Detect)."},
        {dir.path + "/dangling4.log", kLogAutoDetect, "Could not open log file dangling4.log"},
    };
    for (const Case& c : cases) {
        Phase phase;
        SetLastMessageText("");
        EXPECT_FALSE(phase.Run(c.pattern, c.format)) << c.pattern;
        EXPECT_EQ(GetLastMessage(), c.message) << c.pattern;
        EXPECT_EQ(phase.lastFile, "");
        EXPECT_EQ(phase.lastNumber, -1);
    }
    // Hits outside the range, in every file.
    Phase late(nullptr, T(20, 0), T(21, 0));
    EXPECT_FALSE(late.Run(dir.path + "/old3.log", kLogAutoDetect));
    EXPECT_EQ(GetLastMessage(), "No hits match your time range");
    // The W3C log is read under its own formats and by Auto Detect, after the others failed.
    for (int32_t format : {kLogAutoDetect, kLogW3CExtended, kLogIisExtended}) {
        Phase phase;
        EXPECT_TRUE(phase.Run(dir.path + "/w3c1.log", format)) << format;
        EXPECT_EQ(phase.map.HitCount, 1);
    }
}

TEST_F(LogFilesTest, AutoDetectStopsAtTheFirstReaderThatMatches) {
    // One IIS line among common lines: the IIS reader matches (it finds a record in the first 20
    // lines), so the common reader is never tried, although only it would find hits in range.
    TempDir dir;
    std::string log = "c, u, 1/2/99, 10:00:00, w3svc, s, a, 1, 2, 3, 200, 0, GET, /x.html, -,\n";
    log += Log(5, 5);
    dir.Write("mixed.log", log);
    Phase autoDetect(nullptr, T(1, 0));  // the IIS line's 1999 lies before the range
    EXPECT_FALSE(autoDetect.Run(dir.Path("mixed.log"), kLogAutoDetect));
    EXPECT_EQ(GetLastMessage(), "No hits match your time range");
    Phase common(nullptr, T(1, 0));
    ASSERT_TRUE(common.Run(dir.Path("mixed.log"), kLogApache));
    EXPECT_EQ(common.analyzer.TotalHits(), 5);
}

TEST_F(LogFilesTest, TheResumedFileComesFirstAndOnlyItsNewRecordsMakeVisits) {
    TempDir dir;
    std::string first = dir.Write("ex1.log", Log(1, 4));
    dir.Write("ex2.log", Log(2, 2));
    Phase run1;
    ASSERT_TRUE(run1.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(run1.lastNumber, 2);
    EXPECT_EQ(run1.map.HitCount, 6);

    // The next run: ex2 grew, ex3 is new, ex1 is untouched.
    dir.Append("ex2.log", Line(T(2, 11), "10.0.0.9", "GET", "/new.html"));
    dir.Write("ex3.log", Log(3, 3));
    RecordingSink sink;
    Phase run2(&sink);
    run2.After(run1);
    ASSERT_TRUE(run2.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(sink.statuses, (std::vector<std::string>{"Processing log file ex2.log",
                                                       "Processing log file ex3.log"}));
    // ex2's two old hits count as in range but make no visits again; its new one and ex3's do.
    EXPECT_EQ(run2.analyzer.TotalHits(), 6);
    EXPECT_EQ(run2.map.HitCount, 4);
    EXPECT_NE(run2.map.FindPage("/new.html"), nullptr);
    EXPECT_EQ(run2.map.FindPage("/p3.html"), nullptr);  // only ex1 had it
    EXPECT_EQ(run2.lastNumber, 3);

    // Nothing new at all: the old hits still count as hits in range, so the phase succeeds.
    Phase run3;
    run3.After(run2);
    ASSERT_TRUE(run3.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(run3.map.HitCount, 0);
    EXPECT_EQ(run3.analyzer.TotalHits(), 3);

    // A resumed file that was replaced by a shorter one is read whole.
    dir.Write("ex3.log", Log(3, 1));
    Phase run4;
    run4.After(run2);
    ASSERT_TRUE(run4.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(run4.map.HitCount, 1);
    (void)first;
}

TEST_F(LogFilesTest, AResumedFileThatFailsDoesNotEndThePhase) {
    TempDir dir;
    dir.Write("ex15.log", Log(15));
    Phase phase;
    phase.lastFile = dir.path + "/ex12.log";  // deleted since
    phase.lastNumber = 12;
    phase.position = 500;
    ASSERT_TRUE(phase.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(phase.lastFile, dir.path + "/ex15.log");
    EXPECT_EQ(phase.map.HitCount, 3);
    // Only the resumed file and nothing listed: its failure and then no hits.
    Phase alone;
    alone.lastFile = dir.path + "/ex12.log";
    alone.lastNumber = 20;
    alone.position = 10;
    EXPECT_FALSE(alone.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(GetLastMessage(), "No hits match your time range");
    EXPECT_EQ(alone.position, 10);  // unchanged after the failure
}

TEST_F(LogFilesTest, StopEndsThePhaseWithItsMessage) {
    TempDir dir;
    dir.Write("ex1.log", Log(1, 50));
    dir.Write("ex2.log", Log(2, 50));
    RecordingSink sink;
    sink.stopAfter = 10;
    Phase phase(&sink);
    EXPECT_FALSE(phase.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_EQ(sink.statuses.size(), 1u);  // ex2 was not started
    // Ten records were learnt: the resume state names the first one that was not.
    EXPECT_EQ(phase.map.HitCount, 10);
    EXPECT_EQ(phase.lastFile, dir.path + "/ex1.log");
    EXPECT_EQ(phase.lastNumber, 1);
    EXPECT_EQ(phase.position, static_cast<int64_t>(Log(1, 10).size()));
    // A later run goes on from there: every record is learnt once.
    Phase next;
    next.After(phase);
    ASSERT_TRUE(next.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(next.map.HitCount, 40 + 50);
    EXPECT_EQ(next.lastFile, dir.path + "/ex2.log");
    // Stopped in the resumed file: the listed files are not started either.
    RecordingSink sink2;
    sink2.stopAfter = 10;
    Phase resumed(&sink2);
    resumed.lastFile = dir.path + "/ex1.log";
    resumed.lastNumber = 1;
    resumed.position = 0;
    EXPECT_FALSE(resumed.Run(dir.path + "/ex*.log", kLogNcsa));
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_EQ(sink2.statuses, (std::vector<std::string>{"Processing log file ex1.log"}));
    EXPECT_EQ(resumed.lastFile, dir.path + "/ex1.log");
    EXPECT_EQ(resumed.position, static_cast<int64_t>(Log(1, 10).size()));
}

TEST_F(LogFilesTest, RotatedAndCompressedLogsTeachWhatPlainOnesDo) {
    // Rotation names the newest file plainly and older ones by rising numbers, compressing the
    // oldest: numbers and names give no order, the first records' times do.
    TempDir plain, rotated;
    const std::pair<std::string, int> days[] = {
        {"access.log", 12}, {"access.log.1", 11}, {"access.log.2.gz", 10}, {"access.log.3.gz", 9}};
    for (const auto& [name, day] : days) {
        std::string log = Log(day, 4) + Line(T(day, 11), "10.0.0.2", "GET", "/p3.html",
                                             "http://www.example.com/p1.html");
        plain.Write("ex" + std::to_string(day) + ".log", log);
        rotated.Write(name, name.ends_with(".gz") ? logtest::Gzip(log) : log);
    }
    RecordingSink sink;
    Phase fromPlain, fromRotated(&sink);
    ASSERT_TRUE(fromPlain.Run(plain.path + "/ex*.log", kLogAutoDetect));
    ASSERT_TRUE(fromRotated.Run(rotated.path + "/access.log*", kLogAutoDetect));
    EXPECT_EQ(sink.statuses,
              (std::vector<std::string>{
                  "Processing log file access.log.3.gz", "Processing log file access.log.2.gz",
                  "Processing log file access.log.1", "Processing log file access.log"}));
    EXPECT_EQ(sink.messages, std::vector<std::string>{});
    auto saved = [](CSiteMap& map, const TempDir& dir) {
        EXPECT_TRUE(map.Save(dir.Path("graph")));
        std::ifstream in(dir.Path("graph"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(saved(fromRotated.map, rotated), saved(fromPlain.map, plain));
    EXPECT_EQ(fromRotated.lastFile, rotated.Path("access.log"));

    // A compressed file read last: its offset counts decompressed bytes, so a later run learns
    // none of it twice.
    Phase zipped;
    ASSERT_TRUE(zipped.Run(rotated.path + "/*.gz", kLogAutoDetect));
    EXPECT_EQ(zipped.position,
              static_cast<int64_t>(std::filesystem::file_size(plain.Path("ex10.log"))));
    Phase again;
    again.After(zipped);
    ASSERT_TRUE(again.Run(rotated.path + "/*.gz", kLogAutoDetect));
    EXPECT_EQ(again.map.HitCount, 0);
}

TEST_F(LogFilesTest, ADamagedCompressedLogEndsOnlyItself) {
    const std::string good = logtest::Gzip(Log(10, 40));
    std::string badCheck = good;
    badCheck[badCheck.size() - 8] ^= 1;  // the stored checksum
    const struct {
        std::string bytes;
        std::string reason;
    } rows[] = {
        {good.substr(0, good.size() / 2), "unexpected end of data"},
        {badCheck, "incorrect data check"},
        {"\x1f\x8bnot deflate at all", "unknown compression method"},
    };
    for (const auto& row : rows) {
        TempDir dir;
        dir.Write("access.log.1.gz", row.bytes);
        dir.Write("access.log", Log(11));
        RecordingSink sink;
        Phase phase(&sink);
        ASSERT_TRUE(phase.Run(dir.path + "/access.log*", kLogAutoDetect)) << row.reason;
        const std::string message = "Log file access.log.1.gz is damaged (" + row.reason +
                                    "): it was read up to the damage, and the run goes on with "
                                    "the other files.";
        EXPECT_EQ(sink.messages, std::vector<std::string>{message});
        EXPECT_EQ(sink.statuses.back(), "Processing log file access.log");
        EXPECT_EQ(phase.lastFile, dir.Path("access.log"));
        if (row.reason == "incorrect data check") {
            EXPECT_EQ(phase.map.HitCount, 40 + 3);  // every line came before the damage
        }
    }
}

}  // namespace
