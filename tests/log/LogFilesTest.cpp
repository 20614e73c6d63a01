// Choosing, ordering and resuming log files, the format table and its readers, and the messages
// of the file loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "LogTestUtil.h"
#include "agent/AgentSettings.h"
#include "base/LastMessage.h"
#include "log/LogAnalyzer.h"
#include "log/LogFiles.h"
#include "log/LogReader.h"
#include "sitemap/SiteMap.h"

namespace {

using logtest::Line;

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
    // Writes a file of the test's directory: its path.
    std::string Write(const std::string& name, const std::string& data) {
        EXPECT_TRUE(dir.WriteFile(name, data));
        return dir / name;
    }

    CTempDir dir{"log"};
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
    for (const char* name : {"ex12.log", "ex9.log", "ex15.log", "other.txt", "c.log", "a.log"}) {
        Write(name, "x\n");
    }
    ASSERT_TRUE(dir.MakeDir("ex5.log"));  // directories are left out
    const std::string pattern = dir / "ex*.log";
    EXPECT_EQ(Names(ListLogFiles(pattern, "", -1)),
              (std::vector<std::string>{"ex9.log", "ex12.log", "ex15.log"}));
    // Full paths as the pattern names the directory.
    EXPECT_EQ(ListLogFiles(pattern, "", -1).front(), dir / "ex9.log");
    // Resuming after ex12: it and everything before it go.
    EXPECT_EQ(Names(ListLogFiles(pattern, dir / "ex12.log", 12)),
              (std::vector<std::string>{"ex15.log"}));
    // A last file that is gone: everything numbered up to the last number goes.
    EXPECT_EQ(Names(ListLogFiles(pattern, dir / "ex13.log", 13)),
              (std::vector<std::string>{"ex15.log"}));
    // A last number below all files drops nothing but the last file itself.
    EXPECT_EQ(Names(ListLogFiles(pattern, dir / "ex9.log", 0)),
              (std::vector<std::string>{"ex12.log", "ex15.log"}));
    EXPECT_TRUE(ListLogFiles(dir / "missing/*.log", "", -1).empty());
    // Files without digits (number 0) go up to the last file, or all of them when it is gone.
    EXPECT_EQ(Names(ListLogFiles(dir / "?.log", "", -1)),
              (std::vector<std::string>{"a.log", "c.log"}));
    EXPECT_EQ(Names(ListLogFiles(dir / "?.log", dir / "a.log", 0)),
              (std::vector<std::string>{"c.log"}));
    EXPECT_TRUE(ListLogFiles(dir / "?.log", dir / "z.log", 0).empty());
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

// What a phase over one pattern comes to under each format: the hits in range, or the failure's
// message.
TEST_F(LogFilesTest, WhatEachFormatReadsAndTheFailures) {
    const std::string w3c = "#Fields: date time c-ip cs-method cs-uri\n";
    Write("w3c1.log", w3c + "2026-10-01 10:00:00 1.2.3.4 GET /a.html\n");
    std::string manyDirectives;
    for (int i = 0; i < 21; ++i) {
        manyDirectives += "#Remark: " + std::to_string(i) + "\n";
    }
    Write("w3c2.log", w3c + manyDirectives + "2026-10-01 10:00:00 1.2.3.4 GET /a.html\n");
    Write("old3.log", Log(1));
    symlink((dir / "gone").c_str(), (dir / "dangling4.log").c_str());
    // One IIS line among common lines: the IIS reader matches (it finds a record in the first 20
    // lines), so Auto Detect never tries the common reader, which alone finds hits in range.
    Write("mixed5.log",
          "c, u, 1/2/99, 10:00:00, w3svc, s, a, 1, 2, 3, 200, 0, GET, /x.html, -,\n" + Log(5, 5));
    // IIS logs whose dates read only month first, and only day first.
    const std::string iis = ", 10:00:00, w3svc, s, a, 1, 2, 3, 200, 0, GET, /a.html, -,\n";
    Write("usa6.log", "c, u, 10/13/26" + iis);
    Write("europe7.log", "c, u, 13/10/26" + iis);
    // Without a method column: hits, but no visits.
    Write("w3c8.log", "#Fields: date time c-ip cs-uri-stem\n2026-10-01 10:00:00 v1 /a.html\n");
    const std::string mismatch = " contents does not match specified format ";
    struct Case {
        std::string files;
        int32_t format;
        std::string result;
        time_t start = 0;
    };
    const Case cases[] = {
        {"none*.log", kLogAutoDetect, "No log files match your request none*.log"},
        // Several patterns in one text are one expression.
        {"w3c1.log;" + dir / "old3.log", kLogAutoDetect,
         "No log files match your request old3.log"},
        {"w3c1.log", kLogNcsa, "Log file w3c1.log" + mismatch + "(NCSA)."},
        // A format value outside the table is Auto Detect.
        {"w3c2.log", 42, "Log file w3c2.log" + mismatch + "(Auto Detect)."},
        {"dangling4.log", kLogAutoDetect, "Could not open log file dangling4.log"},
        {"old3.log", kLogAutoDetect, "No hits match your time range", T(20, 0)},
        {"mixed5.log", kLogAutoDetect, "No hits match your time range", T(1, 0)},
        {"mixed5.log", kLogApache, "5 hits, 5 page hits", T(1, 0)},
        {"old3.log", kLogNetscape, "3 hits, 3 page hits"},
        {"w3c1.log", kLogAutoDetect, "1 hits, 1 page hits"},
        {"w3c1.log", kLogW3CExtended, "1 hits, 1 page hits"},
        {"w3c1.log", kLogIisExtended, "1 hits, 1 page hits"},
        {"w3c1.log", 42, "1 hits, 1 page hits"},
        {"w3c8.log", kLogAutoDetect, "1 hits, 0 page hits"},
        {"usa6.log", kLogIis, "1 hits, 1 page hits"},
        {"usa6.log", kLogIisUsaDate, "1 hits, 1 page hits"},
        {"usa6.log", kLogIisEuropeanDate,
         "Log file usa6.log" + mismatch + "(Microsoft IIS (European Date))."},
        {"europe7.log", kLogIisEuropeanDate, "1 hits, 1 page hits"},
        {"europe7.log", kLogIisUsaDate,
         "Log file europe7.log" + mismatch + "(Microsoft IIS (USA Date))."},
    };
    for (const Case& c : cases) {
        Phase phase(nullptr, c.start);
        SetLastMessageText("");
        const bool read = phase.Run(dir / c.files, c.format);
        const std::string hits = std::to_string(phase.analyzer.TotalHits()) + " hits, " +
                                 std::to_string(phase.map.HitCount) + " page hits";
        EXPECT_EQ(read ? hits : GetLastMessage(), c.result) << c.files << " " << c.format;
        if (!read && c.start == 0) {  // no file was read through
            EXPECT_EQ(phase.lastFile, "");
            EXPECT_EQ(phase.lastNumber, -1);
        }
    }
}

TEST_F(LogFilesTest, TheResumedFileComesFirstAndOnlyItsNewRecordsMakeVisits) {
    Write("ex1.log", Log(1, 4));
    Write("ex2.log", Log(2, 2));
    const std::string pattern = dir / "ex*.log";
    Phase run1;
    ASSERT_TRUE(run1.Run(pattern, kLogNcsa));
    EXPECT_EQ(run1.lastNumber, 2);
    EXPECT_EQ(run1.map.HitCount, 6);

    // The next run: ex2 grew, ex3 is new, ex1 is untouched.
    Write("ex2.log", Log(2, 2) + Line(T(2, 11), "10.0.0.9", "GET", "/new.html"));
    Write("ex3.log", Log(3, 3));
    RecordingSink sink;
    Phase run2(&sink);
    run2.After(run1);
    ASSERT_TRUE(run2.Run(dir / "ex*.log", kLogNcsa));
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
    ASSERT_TRUE(run3.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(run3.map.HitCount, 0);
    EXPECT_EQ(run3.analyzer.TotalHits(), 3);

    // A resumed file that was replaced by a shorter one is read whole.
    Write("ex3.log", Log(3, 1));
    Phase run4;
    run4.After(run2);
    ASSERT_TRUE(run4.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(run4.map.HitCount, 1);
}

TEST_F(LogFilesTest, AResumedFileThatFailsDoesNotEndThePhase) {
    Write("ex15.log", Log(15));
    Phase phase;
    phase.lastFile = dir / "ex12.log";  // deleted since
    phase.lastNumber = 12;
    phase.position = 500;
    ASSERT_TRUE(phase.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(phase.lastFile, dir / "ex15.log");
    EXPECT_EQ(phase.map.HitCount, 3);
    // Only the resumed file and nothing listed: its failure and then no hits.
    Phase alone;
    alone.lastFile = dir / "ex12.log";
    alone.lastNumber = 20;
    alone.position = 10;
    EXPECT_FALSE(alone.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(GetLastMessage(), "No hits match your time range");
    EXPECT_EQ(alone.position, 10);  // unchanged after the failure
}

TEST_F(LogFilesTest, StopEndsThePhaseWithItsMessage) {
    Write("ex1.log", Log(1, 50));
    Write("ex2.log", Log(2, 50));
    RecordingSink sink;
    sink.stopAfter = 10;
    Phase phase(&sink);
    EXPECT_FALSE(phase.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_EQ(sink.statuses.size(), 1u);  // ex2 was not started
    // Ten records were learnt: the resume state names the first one that was not.
    EXPECT_EQ(phase.map.HitCount, 10);
    EXPECT_EQ(phase.lastFile, dir / "ex1.log");
    EXPECT_EQ(phase.lastNumber, 1);
    EXPECT_EQ(phase.position, static_cast<int64_t>(Log(1, 10).size()));
    // A later run goes on from there: every record is learnt once.
    Phase next;
    next.After(phase);
    ASSERT_TRUE(next.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(next.map.HitCount, 40 + 50);
    EXPECT_EQ(next.lastFile, dir / "ex2.log");
    // Stopped in the resumed file: the listed files are not started either.
    RecordingSink sink2;
    sink2.stopAfter = 10;
    Phase resumed(&sink2);
    resumed.lastFile = dir / "ex1.log";
    resumed.lastNumber = 1;
    resumed.position = 0;
    EXPECT_FALSE(resumed.Run(dir / "ex*.log", kLogNcsa));
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_EQ(sink2.statuses, (std::vector<std::string>{"Processing log file ex1.log"}));
    EXPECT_EQ(resumed.lastFile, dir / "ex1.log");
    EXPECT_EQ(resumed.position, static_cast<int64_t>(Log(1, 10).size()));
}

TEST_F(LogFilesTest, RotatedAndCompressedLogsTeachWhatPlainOnesDo) {
    // Rotation names the newest file plainly and older ones by rising numbers, compressing the
    // oldest: numbers and names give no order, the first records' times do.
    const std::pair<std::string, int> days[] = {
        {"access.log", 12}, {"access.log.1", 11}, {"access.log.2.gz", 10}, {"access.log.3.gz", 9}};
    for (const auto& [name, day] : days) {
        std::string log = Log(day, 4) + Line(T(day, 11), "10.0.0.2", "GET", "/p3.html",
                                             "http://www.example.com/p1.html");
        Write("plain/ex" + std::to_string(day) + ".log", log);
        Write("rotated/" + name, name.ends_with(".gz") ? logtest::Gzip(log) : log);
    }
    RecordingSink sink;
    Phase fromPlain, fromRotated(&sink);
    ASSERT_TRUE(fromPlain.Run(dir / "plain/ex*.log", kLogAutoDetect));
    ASSERT_TRUE(fromRotated.Run(dir / "rotated/access.log*", kLogAutoDetect));
    EXPECT_EQ(sink.statuses,
              (std::vector<std::string>{
                  "Processing log file access.log.3.gz", "Processing log file access.log.2.gz",
                  "Processing log file access.log.1", "Processing log file access.log"}));
    EXPECT_EQ(sink.messages, std::vector<std::string>{});
    auto saved = [&](CSiteMap& map, const std::string& name) {
        EXPECT_TRUE(map.Save(dir / name));
        return ReadWholeFile(dir / name);
    };
    EXPECT_EQ(saved(fromRotated.map, "rotated.graph"), saved(fromPlain.map, "plain.graph"));
    EXPECT_EQ(fromRotated.lastFile, dir / "rotated/access.log");

    // A compressed file read last: its offset counts decompressed bytes, so a later run learns
    // none of it twice.
    Phase zipped;
    ASSERT_TRUE(zipped.Run(dir / "rotated/*.gz", kLogAutoDetect));
    EXPECT_EQ(zipped.position,
              static_cast<int64_t>(std::filesystem::file_size(dir / "plain/ex10.log")));
    Phase again;
    again.After(zipped);
    ASSERT_TRUE(again.Run(dir / "rotated/*.gz", kLogAutoDetect));
    EXPECT_EQ(again.map.HitCount, 0);
}

TEST_F(LogFilesTest, ADamagedCompressedLogEndsOnlyItself) {
    const std::string good = logtest::Gzip(Log(10, 40));
    std::string badCheck = good;
    badCheck[badCheck.size() - 8] ^= 1;  // the stored checksum
    const std::pair<std::string, std::string> rows[] = {
        {good.substr(0, good.size() / 2), "unexpected end of data"},
        {badCheck, "incorrect data check"},
        {"\x1f\x8bnot deflate at all", "unknown compression method"},
    };
    for (const auto& [bytes, reason] : rows) {
        const std::string sub = reason + "/";
        Write(sub + "access.log.1.gz", bytes);
        Write(sub + "access.log", Log(11));
        RecordingSink sink;
        Phase phase(&sink);
        ASSERT_TRUE(phase.Run(dir / (sub + "access.log*"), kLogAutoDetect)) << reason;
        const std::string message = "Log file access.log.1.gz is damaged (" + reason +
                                    "): it was read up to the damage, and the run goes on with "
                                    "the other files.";
        EXPECT_EQ(sink.messages, std::vector<std::string>{message});
        EXPECT_EQ(sink.statuses.back(), "Processing log file access.log");
        EXPECT_EQ(phase.lastFile, dir / (sub + "access.log"));
        if (reason == "incorrect data check") {
            EXPECT_EQ(phase.map.HitCount, 40 + 3);  // every line came before the damage
        }
    }
}

}  // namespace
