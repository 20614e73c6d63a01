// The log readers over logs in memory: the fields each format fills, the lines each rejects, the
// date rules, and the probes for the first and last record and for a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "LogTestUtil.h"
#include "agent/AgentSettings.h"
#include "log/CommonLogReader.h"
#include "log/IISLogReader.h"
#include "log/MemoryLogStream.h"
#include "log/W3CLogReader.h"

namespace {

using LogReaderTest = logtest::ZoneTest;

// Every field of a record but its time, in declaration order, "|" between them.
std::string Fields(const CLogRecord& r) {
    std::ostringstream out;
    out << r.Client << "|" << r.UserName << "|" << r.Service << "|" << r.ServerAddress << "|"
        << r.ServerName << "|" << r.TimeTaken << "|" << r.BytesReceived << "|" << r.BytesSent << "|"
        << r.Status << "|" << r.Win32Status << "|" << r.Method << "|" << r.Url << "|" << r.Referer
        << "|" << r.Protocol << "|" << r.AgentText;
    return out.str();
}

// --- Common format ----------------------------------------------------------------------------

TEST_F(LogReaderTest, CommonCombinedLineFillsEveryField) {
    std::string log =
        "10.0.0.1 - frank [10/Oct/1998:13:55:36 -0700] \"GET /a/b.html?x=1 HTTP/1.0\" 200 2326 "
        "\"http://www.example.com/start.html\" \"Mozilla/4.08 [en] (Win98; I ;Nav)\"\n";
    CMemoryLogStream stream(log);
    CCommonLogReader reader(stream);
    CLogRecord r;
    ASSERT_TRUE(reader.ParseNextLine(r));
    EXPECT_EQ(r.Time, LocalTime(1998, 10, 10, 13, 55, 36));  // the zone offset is ignored
    // What the format does not have keeps its reset value.
    EXPECT_EQ(Fields(r),
              "10.0.0.1|frank|4|||-1|-1|2326|200|-1|0|/a/b.html?x=1|"
              "http://www.example.com/start.html|HTTP/1.0|Mozilla/4.08 [en] (Win98; I ;Nav)");
}

// The fields the line tables look at, "|" between them: method, target, referer, status, bytes
// sent, service. Empty for a rejected line.
template <typename Reader, typename... Options>
std::string Brief(const std::string& line, Options... options) {
    std::string log = line + "\n";
    CMemoryLogStream stream(log);
    Reader reader(stream, options...);
    CLogRecord r;
    if (!reader.ParseNextLine(r)) {
        return "";
    }
    std::ostringstream out;
    out << r.Method << "|" << r.Url << "|" << r.Referer << "|" << r.Status << "|" << r.BytesSent
        << "|" << r.Service;
    return out.str();
}

TEST_F(LogReaderTest, CommonLinesAcceptedAndRejected) {
    const std::string head = "h - - [31/Dec/2026:23:59:59 +0100] ";
    const std::pair<std::string, std::string> rows[] = {
        // "/" stands for the index page; other paths stay as they are.
        {head + "\"GET / HTTP/1.0\" 200 5", "0|/index.html||200|5|4"},
        {head + "\"GET /index.htm HTTP/1.0\" 200 5", "0|/index.htm||200|5|4"},
        {head + "\"GET /docs/ HTTP/1.0\" 200 5", "0|/docs/||200|5|4"},
        // Ends right after the status: rejected. After the byte count: accepted.
        {head + "\"GET /a.html HTTP/1.0\" 200", ""},
        {head + "\"GET /a.html HTTP/1.0\" 304 -", "0|/a.html||304|0|4"},
        // Methods compare without regard to case.
        {head + "\"Get /a.html\" 200 1", "0|/a.html||200|1|4"},
        {head + "\"post /f.asp\" 302 0", "2|/f.asp||302|0|4"},
        // A referer of exactly "-" is empty; "--" is text.
        {head + "\"GET /a.html\" 200 1 \"-\" \"-\"", "0|/a.html||200|1|4"},
        {head + "\"GET /a.html\" 200 1 \"--\"", "0|/a.html|--|200|1|4"},
        // Dates shorter than 20 characters, or missing, reject the line.
        {"h - - [31/Dec/2026:23:59] \"GET /a.html\" 200 1", ""},
        {"h - - \"GET /a.html\" 200 1", ""},
        // Numbers are their leading digits.
        {head + "\"GET /a.html\" 2x 12kb", "0|/a.html||2|12|4"},
        {"", ""},
        {"garbage", ""},
    };
    for (const auto& [line, fields] : rows) {
        EXPECT_EQ(Brief<CCommonLogReader>(line), fields) << line;
    }
}

TEST_F(LogReaderTest, CommonDateRule) {
    CMemoryLogStream stream("");
    CCommonLogReader reader(stream);
    time_t t = 0;
    ASSERT_TRUE(reader.ParseDate("01/jAN/2030:00:00:01 +0000", &t));
    EXPECT_EQ(t, LocalTime(2030, 1, 1, 0, 0, 1));
    // A month name that is none of the twelve gives December.
    ASSERT_TRUE(reader.ParseDate("05/Foo/2026:10:20:30 -0500", &t));
    EXPECT_EQ(t, LocalTime(2026, 12, 5, 10, 20, 30));
    // Exactly 20 characters is enough (no zone at all).
    ASSERT_TRUE(reader.ParseDate("05/Jun/2026:10:20:30", &t));
    EXPECT_EQ(t, LocalTime(2026, 6, 5, 10, 20, 30));
    EXPECT_FALSE(reader.ParseDate("05/Jun/2026:10:20:3", &t));
    // Past 2106 the time does not wrap either.
    ASSERT_TRUE(reader.ParseDate("01/Jan/2107:00:00:00 +0000", &t));
    EXPECT_EQ(t, LocalTime(2107, 1, 1, 0, 0, 0));
}

// --- IIS format ---------------------------------------------------------------------------------

std::string IisLine(const std::string& date, const std::string& time = "13:55:36") {
    return "10.0.0.1, -, " + date + ", " + time +
           ", W3SVC, WWW1, 10.0.0.2, 15, 300, 4000, 200, 0, GET, /a.html, -, "
           "http://www.example.com/b.html, Mozilla,\n";
}

TEST_F(LogReaderTest, IisLineFillsEveryField) {
    std::string log =
        "10.0.0.1, joe, 12/31/98, 13:55:36, W3SVC1, WWW1 , 10.0.0.2, 15, 300, 4000, 200, 0, "
        "Get, /a.asp, id=3, http://www.example.com/b.html, Mozilla/4.0\n";
    CMemoryLogStream stream(log);
    CIISLogReader reader(stream, kIisDateAuto);
    CLogRecord r;
    ASSERT_TRUE(reader.ParseNextLine(r));
    EXPECT_EQ(r.Time, LocalTime(1998, 12, 31, 13, 55, 36));
    // W3SVC1 carries an instance number: another service. Trailing spaces stay.
    EXPECT_EQ(Fields(r),
              "10.0.0.1|joe|3|10.0.0.2|WWW1 |15|300|4000|200|0|0|/a.asp|"
              "http://www.example.com/b.html||Mozilla/4.0");
}

TEST_F(LogReaderTest, IisFieldRules) {
    const std::pair<std::string, std::string> rows[] = {
        {"c, u, 1/2/99, 1:2:3, w3svc, s, a, 1, 2, 3, 200, 0, GET, /a.html, -,",
         "0|/a.html||200|3|0"},
        {"c, u, 1/2/99, 1:2:3, GopherSvc, s, a, 1, 2, 3, 200, 0, GET, /a.html, -",
         "0|/a.html||200|3|1"},
        {"c, u, 1/2/99, 1:2:3, MSFTPSVC, s, a, 1, 2, 3, -, 0, GET, /a.html, -, --",
         "0|/a.html|--|0|3|2"},
        {"c, u, 1/2/99, 1:2:3, -, s, a, 1, 2, 3, 200, 0, GET, /a.html, -, -, -",
         "0|/a.html||200|3|4"},
        // The target is the last field, without a comma after it: rejected.
        {"c, u, 1/2/99, 1:2:3, w3svc, s, a, 1, 2, 3, 200, 0, GET, /a.html", ""},
        {"c, u, 1/2/99", ""},
    };
    for (const auto& [line, fields] : rows) {
        EXPECT_EQ(Brief<CIISLogReader>(line, kIisDateAuto), fields) << line;
    }
}

TEST_F(LogReaderTest, IisDateOrders) {
    const std::string mixed = IisLine("12/31/98") + IisLine("31/12/98") + IisLine("12/31/98");
    const std::string dayFirst = IisLine("31/12/98") + IisLine("31/12/98") + IisLine("31/12/98");
    // Each line read ("+") or rejected ("-"), and the order the reader takes after it: month
    // first ("M") or day first ("D").
    const std::tuple<std::string, int32_t, std::string> rows[] = {
        // Automatic: both orders read; the order follows the data.
        {mixed, kIisDateAuto, "+M +D +M"},
        // Month first: the day-first line fails and leaves the order flipped; the next
        // month-first line flips it back and passes.
        {mixed, kIisDateMonthFirst, "+M -D +M"},
        // Day first: the month-first line fails (it flips the order to month first), the second
        // flips it back and passes.
        {mixed, kIisDateDayFirst, "-M +D -M"},
        // The same date text line after line reads as the order of each line says.
        {dayFirst, kIisDateAuto, "+D +D +D"},
        {dayFirst, kIisDateMonthFirst, "-D -D -D"},
        {dayFirst, kIisDateDayFirst, "+D +D +D"},
    };
    for (const auto& [log, order, expected] : rows) {
        CMemoryLogStream stream(log);
        CIISLogReader reader(stream, order);
        EXPECT_EQ(reader.MonthFirst(), order != kIisDateDayFirst);
        std::string lines;
        for (int i = 0; i < 3; ++i) {
            CLogRecord r;
            const bool read = reader.ParseNextLine(r);
            lines += std::string(i > 0 ? " " : "") + (read ? "+" : "-") +
                     (reader.MonthFirst() ? "M" : "D");
            if (read) {
                EXPECT_EQ(r.Time, LocalTime(1998, 12, 31, 13, 55, 36)) << order << " line " << i;
            }
        }
        EXPECT_EQ(lines, expected) << order;
    }
}

TEST_F(LogReaderTest, IisYearsAndUnreadableDates) {
    const std::tuple<std::string, std::string, time_t> rows[] = {
        // Two-digit years: 00 to 69 are this century, 70 to 99 the last one.
        {"1/2/05", "10:00:00", LocalTime(2005, 1, 2, 10, 0, 0)},
        {"1/2/69", "10:00:00", LocalTime(2069, 1, 2, 10, 0, 0)},
        {"1/2/70", "10:00:00", LocalTime(1970, 1, 2, 10, 0, 0)},
        {"7/1/2040", "23:59:59", LocalTime(2040, 7, 1, 23, 59, 59)},
        // A date or time that does not read as three numbers gives time 0; the line stays.
        {"1/2", "10:00:00", 0},
        {"1/2/05", "10:00", 0},
        {"-", "10:00:00", 0},
    };
    for (const auto& [date, time, expected] : rows) {
        std::string log = IisLine(date, time);
        CMemoryLogStream stream(log);
        CIISLogReader reader(stream, kIisDateAuto);
        CLogRecord r;
        ASSERT_TRUE(reader.ParseNextLine(r)) << date;
        EXPECT_EQ(r.Time, expected) << date << " " << time;
    }
}

// --- W3C format ---------------------------------------------------------------------------------

TEST_F(LogReaderTest, W3CExampleLines) {
    const std::string fields =
        "#Fields: date time c-ip cs-method cs-uri-stem cs-uri-query sc-status\n";
    // Each log, the target, method and time of its first record.
    const std::tuple<std::string, std::string, int32_t, time_t> rows[] = {
        {fields + "1998-12-31 23:59:59 10.0.0.1 GET /a.asp x=1 200\n", "/a.asp?x=1", kMethodGet,
         LocalTime(1998, 12, 31, 23, 59, 59)},
        {fields + "1998-12-31 23:59:59 10.0.0.1 GET /a.asp - 200\n", "/a.asp", kMethodGet,
         LocalTime(1998, 12, 31, 23, 59, 59)},
        // Tabs and runs of separators read like single spaces.
        {fields + "1998-12-31\t23:59:59 \t 10.0.0.1  GET\t/a.asp\tx=1\t200\n", "/a.asp?x=1",
         kMethodGet, LocalTime(1998, 12, 31, 23, 59, 59)},
        // No date column: the #Date directive's day.
        {"#Date: 1998-12-31 00:00:00\n#Fields: time cs-method cs-uri\n10:20:30 GET /x.html\n",
         "/x.html", kMethodGet, LocalTime(1998, 12, 31, 10, 20, 30)},
        // A date column of other than 10 characters falls back to the default date.
        {"#Date: 1998-12-31\n#Fields: date time cs-uri\n98-12-30 10:20:30 /x.html\n", "/x.html",
         kMethodNone, LocalTime(1998, 12, 31, 10, 20, 30)},
        // A time of 4 characters gives the hours of its first two only.
        {"#Date: 1998-12-31\n#Fields: time cs-uri\n7:05 /x.html\n", "/x.html", kMethodNone,
         LocalTime(1998, 12, 31, 7, 0, 0)},
        // cs-uri wins over the stem; an empty cs-uri falls back to stem and query.
        {"#Fields: date time cs-uri cs-uri-stem cs-uri-query\n2026-01-01 00:00:00 /u /s q\n", "/u",
         kMethodNone, LocalTime(2026, 1, 1, 0, 0, 0)},
        {"#Fields: date time cs-uri cs-uri-stem cs-uri-query\n2026-01-01 00:00:00 - /s q\n", "/s?q",
         kMethodNone, LocalTime(2026, 1, 1, 0, 0, 0)},
        // A "#Date:" without a token keeps the date before it; a short one reads what it has.
        {"#Date: 2026-03-04 10:00:00\n#DATE:   \n#Fields: time cs-uri\n10:20:30 /x.html\n",
         "/x.html", kMethodNone, LocalTime(2026, 3, 4, 10, 20, 30)},
        {"#Date: 2026\n#Fields: time cs-uri\n10:20:30 /x.html\n", "/x.html", kMethodNone,
         LocalTime(2026, 0, 0, 10, 20, 30)},
        // Past 2038.
        {"#Fields: date time cs-uri\n2039-06-01 12:00:00 /a\n", "/a", kMethodNone,
         LocalTime(2039, 6, 1, 12, 0, 0)},
    };
    for (const auto& [log, url, method, time] : rows) {
        CMemoryLogStream stream(log);
        CW3CLogReader reader(stream);
        CLogRecord r;
        ASSERT_TRUE(reader.ReadRecord(r, 0)) << log;
        EXPECT_EQ(r.Url, url) << log;
        EXPECT_EQ(r.Method, method) << log;
        EXPECT_EQ(r.Time, time) << log;
    }
}

TEST_F(LogReaderTest, W3CColumns) {
    std::string log =
        "#Software: test\n#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port "
        "cs-username c-ip cs(User-Agent) cs(Referer) sc-status sc-win32-status sc-bytes cs-bytes "
        "time-taken s-computername cs(Cookie) x-custom\n"
        "2026-10-10 08:00:01 10.0.0.1 GET /a.html - 80 bob 24.1.2.3 Mozilla/5.0 "
        "http://www.example.com/ 200 0 5120 300 15 WWW1 id=7 whatever extra\n";
    CMemoryLogStream stream(log);
    CW3CLogReader reader(stream);
    CLogRecord r;
    ASSERT_TRUE(reader.ReadRecord(r, 0));
    // time-taken is read and ignored.
    EXPECT_EQ(Fields(r),
              "24.1.2.3|bob|4|10.0.0.1|WWW1|-1|300|5120|200|0|0|/a.html|http://www.example.com/|"
              "|id=7");
    EXPECT_EQ(r.Time, LocalTime(2026, 10, 10, 8, 0, 1));
}

TEST_F(LogReaderTest, W3CHeaderRules) {
    // Each line of a log: its target and status, or "x" when it is no record.
    auto parse = [](const std::string& log) {
        CMemoryLogStream stream(log);
        CW3CLogReader reader(stream);
        CLogRecord r;
        std::string lines;
        for (auto n = std::count(log.begin(), log.end(), '\n'); n > 0; --n) {
            lines += reader.ParseNextLine(r) ? std::string(r.Url) + " " + std::to_string(r.Status)
                                             : std::string("x");
            lines += ";";
        }
        return lines;
    };
    // Two fields directives at the head: the second wins. One further down is no record, and
    // changes nothing.
    EXPECT_EQ(parse("#Fields: date time cs-uri\n#fields: cs-uri date time\n/a 2026-01-01 00:00:01\n"
                    "#Fields: date time cs-uri\n/b 2026-01-01 00:00:02\n"),
              "x;x;/a -1;x;/b -1;");
    // Without a fields directive at the head no line is a record.
    EXPECT_EQ(parse("\n#Fields: date time cs-uri\n2026-01-01 00:00:01 /a\n"), "x;x;x;");
    // Lines with fewer columns are rejected; more columns are ignored; a value holding a space
    // shifts the later columns.
    EXPECT_EQ(parse("#Fields: date time cs-uri sc-status\n2026-01-01 00:00:01 /a\n"
                    "2026-01-01 00:00:01 /b 200 x y\n2026-01-01 00:00:01 /c d 404\n"),
              "x;x;/b 200;/c 0;");
    // Construction reads the head and leaves the stream where it was.
    std::string log = "#Fields: cs-uri\n/a\n/b\n";
    CMemoryLogStream stream(log);
    ASSERT_TRUE(stream.Seek(19, SEEK_SET));
    CW3CLogReader reader(stream);
    EXPECT_EQ(stream.Tell(), 19);
    CLogRecord r;
    ASSERT_TRUE(reader.ParseNextLine(r));
    EXPECT_EQ(r.Url, "/b");
    EXPECT_EQ(r.Time, 0);  // no date anywhere
}

// --- Shared reader operations -----------------------------------------------------------------

std::string CommonLine(int day, int hour, int minute, int second, const std::string& url) {
    char date[64];
    std::snprintf(date, sizeof date, "%02d/Oct/2026:%02d:%02d:%02d +0000", day, hour, minute,
                  second);
    return "10.0.0.1 - - [" + std::string(date) + "] \"GET " + url + " HTTP/1.1\" 200 100\n";
}

TEST_F(LogReaderTest, TimeSpanAndItsFallbacks) {
    time_t first = 0, last = 0;
    {
        std::string log = "junk\n" + CommonLine(1, 10, 0, 0, "/a") + CommonLine(1, 11, 0, 0, "/b") +
                          CommonLine(2, 12, 0, 0, "/c");
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        ASSERT_TRUE(reader.GetTimeSpan(first, last));
        EXPECT_EQ(first, LocalTime(2026, 10, 1, 10, 0, 0));
        EXPECT_EQ(last, LocalTime(2026, 10, 2, 12, 0, 0));
    }
    {
        // A tail that does not parse: the log is taken to reach the latest time, so that no range
        // ending now or later passes it by.
        std::string log;
        for (int i = 0; i < 20; ++i) {
            log += CommonLine(1, 10, i, 0, "/a");
        }
        log += std::string(1200, 'x') + "\n" + "still garbage\n";
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        ASSERT_TRUE(reader.GetTimeSpan(first, last));
        EXPECT_EQ(first, LocalTime(2026, 10, 1, 10, 0, 0));
        EXPECT_EQ(last, kLatestLogTime);
    }
    {
        // No record among the first 20 lines: no span.
        std::string log = std::string(20 * 6, 'x');
        for (int i = 0; i < 20; ++i) {
            log[i * 6 + 5] = '\n';
        }
        log += CommonLine(1, 10, 0, 0, "/a");
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        EXPECT_FALSE(reader.GetTimeSpan(first, last));
        // The 20th line may be the first record.
        std::string shorter = log.substr(6);
        CMemoryLogStream stream2(shorter);
        CCommonLogReader reader2(stream2);
        EXPECT_TRUE(reader2.GetTimeSpan(first, last));
    }
}

TEST_F(LogReaderTest, SeekToLastLine) {
    // In a long file the last line of two characters or more is found from the last 1000 bytes;
    // shorter trailing lines are not "last lines".
    std::string log;
    for (int i = 0; i < 100; ++i) {
        log += CommonLine(1, 10, i % 60, 0, "/p" + std::to_string(i));
    }
    std::string tail = CommonLine(1, 12, 0, 0, "/last");
    log += tail + "\n\n";
    CMemoryLogStream stream(log);
    CCommonLogReader reader(stream);
    ASSERT_TRUE(reader.SeekToLastLine());
    EXPECT_EQ(stream.Tell(), static_cast<int64_t>(log.size() - tail.size() - 2));
    CLogRecord r;
    ASSERT_TRUE(reader.ReadLastRecord(r));
    EXPECT_EQ(r.Url, "/last");
    // A file shorter than 1000 bytes: the probe starts where the stream stands.
    std::string small = CommonLine(1, 10, 0, 0, "/a") + CommonLine(1, 10, 0, 1, "/b") +
                        CommonLine(1, 10, 0, 2, "/c");
    CMemoryLogStream smallStream(small);
    CCommonLogReader smallReader(smallStream);
    ASSERT_TRUE(smallReader.SeekToLastLine());  // drops line 1, ends at line 3
    ASSERT_TRUE(smallReader.ParseNextLine(r));
    EXPECT_EQ(r.Url, "/c");
    smallStream.Rewind();
    ASSERT_TRUE(smallStream.Seek(0, SEEK_END));
    EXPECT_FALSE(smallReader.SeekToLastLine());  // nothing after the stream's position
}

TEST_F(LogReaderTest, SeekToTimeFindsTheFirstLaterRecord) {
    // About 1.5 MB, so that the coarse jumps of 100000 bytes are taken; equal times in runs.
    std::string log;
    std::vector<std::pair<int64_t, time_t>> starts;  // line start and time
    for (int i = 0; i < 12000; ++i) {
        int seconds = i / 3;  // three records per second
        if (i % 1000 == 500) {
            log += "a line that is no record at all\n";
        }
        starts.emplace_back(static_cast<int64_t>(log.size()),
                            LocalTime(2026, 10, 1, 0, 0, 0) + seconds);
        log += CommonLine(1, seconds / 3600, seconds / 60 % 60, seconds % 60,
                          "/page" + std::to_string(i) + ".html?padding=" + std::string(80, 'p'));
    }
    CMemoryLogStream stream(log);
    CCommonLogReader reader(stream);
    CLogRecord r;
    const time_t base = LocalTime(2026, 10, 1, 0, 0, 0);
    for (time_t target : {base - 1, base, base + 1, base + 777, base + 2000, base + 3998,
                          base + 3999, base + 4000}) {
        // The first record strictly later than the target, by a linear scan.
        std::size_t expected = 0;
        while (expected < starts.size() && starts[expected].second <= target) {
            ++expected;
        }
        bool found = reader.SeekToTime(target);
        ASSERT_EQ(found, expected < starts.size()) << target - base;
        if (found) {
            ASSERT_TRUE(reader.ReadRecord(r, 0));
            EXPECT_EQ(r.Url.substr(0, r.Url.find('?')),
                      "/page" + std::to_string(expected) + ".html")
                << target - base;
            EXPECT_GT(r.Time, target);
        }
    }
}

}  // namespace
