// The tarvik logs command, run as a program against small logs of every format in a temporary
// directory.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "log/LogTestUtil.h"
#include "sitemap/SiteMap.h"
#include "support/TarvikRunner.h"

namespace {

using logtest::TempDir;

using Result = TarvikResult;

class LogCommandTest : public testing::Test {
  protected:
    // Runs tarvik logs with the arguments, in UTC, stderr not a terminal.
    Result Logs(const std::vector<std::string>& args) {
        TarvikCall call{{"logs"}, {"HOME=" + dir.Path("")}};
        call.args.insert(call.args.end(), args.begin(), args.end());
        return RunTarvik(call, dir.Path("run"));
    }

    TempDir dir;
};

const char* const kCombined =
    "1.1.1.1 - - [01/Oct/2026:10:00:00 +0000] \"GET /a.html HTTP/1.1\" 200 100 \"-\" \"x\"\n"
    "1.1.1.1 - - [01/Oct/2026:10:00:00 +0000] \"GET /i.gif HTTP/1.1\" 200 100 "
    "\"http://www.example.com/a.html\" \"x\"\n"
    "1.1.1.1 - - [01/Oct/2026:10:00:20 +0000] \"GET /b.html HTTP/1.1\" 200 100 "
    "\"http://www.example.com/a.html\" \"x\"\n";

TEST_F(LogCommandTest, PrintsHitsTransitionsAndTimings) {
    dir.Write("access.log", kCombined);
    Result r = Logs({dir.Path("access.log"), "--domain", "www.example.com"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Hits in range: 3\nGET hits followed: 3\nPage hits: 2\nPages: 2\nFiles: 1\n"
              "Transitions (source, target, weight):\n/a.html\t/b.html\t1.0000\n"
              "Timing averages (page, samples, load seconds, idle seconds):\n/a.html\t1\t0\t20\n");
}

TEST_F(LogCommandTest, ControlCharactersOfLoggedNamesAreShownEscaped) {
    dir.Write("access.log",
              "1.1.1.1 - - [01/Oct/2026:10:00:00 +0000] \"GET /a\x1b[2J\\.html HTTP/1.1\" 200 1\n"
              "1.1.1.1 - - [01/Oct/2026:10:00:20 +0000] \"GET /b\t.html HTTP/1.1\" 200 1\n");
    Result r = Logs({dir.Path("access.log")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("/a\\x1b[2J\\x5c.html\t/b\\x09.html\t1.0000\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

TEST_F(LogCommandTest, ReadsEveryFormat) {
    struct Case {
        std::string name;
        std::string log;
        std::string format;
    };
    const Case cases[] = {
        {"combined.log", kCombined, "Apache"},
        {"common.log",
         "1.1.1.1 - - [01/Oct/2026:10:00:00 +0000] \"GET /a.html HTTP/1.0\" 200 100\n"
         "1.1.1.1 - - [01/Oct/2026:10:00:20 +0000] \"GET /b.html HTTP/1.0\" 200 100\n",
         "NCSA"},
        {"ex1.log",
         "1.1.1.1, -, 10/1/26, 10:00:00, W3SVC1, WWW1, 10.0.0.1, 5, 300, 100, 200, 0, GET, "
         "/a.html, -, -,\n"
         "1.1.1.1, -, 10/1/26, 10:00:20, W3SVC1, WWW1, 10.0.0.1, 5, 300, 100, 200, 0, GET, "
         "/b.html, -, http://www.example.com/a.html,\n",
         "microsoft iis (usa date)"},
        {"w3c.log",
         "#Software: test\n#Date: 2026-10-01 10:00:00\n#Fields: time c-ip cs-method "
         "cs-uri-stem cs-uri-query sc-status cs(Referer)\n"
         "10:00:00 1.1.1.1 GET /a.html - 200 -\n10:00:20 1.1.1.1 GET /b.html - 200 -\n",
         "W3C EXTENDED"},
    };
    for (const Case& c : cases) {
        dir.Write(c.name, c.log);
        for (const std::string& format : {std::string("Auto Detect"), c.format}) {
            Result r = Logs({dir.Path(c.name), "--format", format, "--domain", "www.example.com"});
            EXPECT_EQ(r.status, 0) << c.name << " " << format << ": " << r.err;
            EXPECT_NE(r.out.find("Page hits: 2\n"), std::string::npos) << c.name << r.out;
            EXPECT_NE(r.out.find("/a.html\t/b.html\t1.0000\n"), std::string::npos)
                << c.name << r.out;
        }
    }
}

TEST_F(LogCommandTest, RangesAndWeights) {
    std::string log;
    for (int i = 0; i < 10; ++i) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "v%d - - [01/Oct/2026:10:00:%02d +0000] \"GET /a.html HTTP/1.1\" 200 1\n"
                      "v%d - - [01/Oct/2026:10:01:%02d +0000] \"GET /b.html HTTP/1.1\" 200 1\n",
                      i, i, i, i);
        log += line;
    }
    dir.Write("ex1.log", log);
    Result major = Logs({dir.Path("ex*.log"), "--weight", "major"});
    EXPECT_EQ(major.status, 0) << major.err;
    EXPECT_NE(major.out.find("/a.html\t/b.html\t8.0000\n"), std::string::npos) << major.out;
    Result none = Logs({dir.Path("ex*.log"), "--weight", "No"});
    EXPECT_NE(none.out.find("/a.html\t/b.html\t10.0000\n"), std::string::npos) << none.out;
    // The range holds the first pages of v1 to v9 (v0's, at the start itself, is not counted)
    // and the second pages of v0 to v4: four transitions.
    Result part = Logs({dir.Path("ex1.log"), "--from", "2026-10-01 10:00:00", "--to",
                        "2026-10-01 10:01:04", "--weight", "No"});
    EXPECT_EQ(part.status, 0) << part.err;
    EXPECT_NE(part.out.find("Hits in range: 14\n"), std::string::npos) << part.out;
    EXPECT_NE(part.out.find("/a.html\t/b.html\t4.0000\n"), std::string::npos) << part.out;
    // A range of the last day, long after the log: no hits.
    Result late = Logs({dir.Path("ex1.log"), "--range", "LAST DAY"});
    if (time(nullptr) > 1790000000) {  // the log's October 2026 is more than a day ago
        EXPECT_EQ(late.status, 1);
        EXPECT_EQ(late.err, "tarvik: No hits match your time range\n");
    }
    Result all = Logs({dir.Path("ex1.log"), "--range", "All log files"});
    EXPECT_EQ(all.status, 0) << all.err;
}

TEST_F(LogCommandTest, FailuresAndBadArguments) {
    dir.Write("w3c.log",
              "#Fields: date time c-ip cs-method cs-uri\n"
              "2026-10-01 10:00:00 1.1.1.1 GET /a.html\n");
    dir.Write("ex1.log", kCombined);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{dir.Path("none*.log")}, 1, "tarvik: No log files match your request none*.log\n"},
        {{dir.Path("w3c.log"), "--format", "NCSA"},
         1,
         "tarvik: Log file w3c.log contents does not match specified format (NCSA).\n"},
        {{dir.Path("ex1.log"), "--format", "Common"},
         2,
         "tarvik: Unknown log format \"Common\"; use one of: Auto Detect, Microsoft IIS, "
         "Microsoft IIS (USA Date), Microsoft IIS (European Date), Microsoft IIS 4.0 "
         "(Extended), NCSA, Apache, Netscape, W3C Extended\n"},
        {{dir.Path("ex1.log"), "--range", "Last Decade"},
         2,
         "tarvik: Unknown time range \"Last Decade\"; use one of: All log files, Last Year, Last "
         "6 month, Last Month, Last Week, Last Day, Last Hour, or --from and --to\n"},
        {{dir.Path("ex1.log"), "--range", "Specify Range"},
         2,
         "tarvik: The time range \"Specify Range\" is given with --from and --to\n"},
        {{dir.Path("ex1.log"), "--weight", "Heavy"},
         2,
         "tarvik: Unknown weight \"Heavy\"; use one of: No, Minor, Major, Auto\n"},
        {{dir.Path("ex1.log"), "--from", "2026-10-01", "--to", "2026-10-02 00:00:00"},
         2,
         "tarvik: Invalid time \"2026-10-01\": expected \"YYYY-MM-DD HH:MM:SS\"\n"},
        {{dir.Path("ex1.log"), "--from", "2026-10-02 00:00:00", "--to", "2026-10-01 00:00:00"},
         2,
         "tarvik: The start of the time range (2026-10-02 00:00:00) is later than its end "
         "(2026-10-01 00:00:00)\n"},
        {{dir.Path("ex1.log"), "--site", dir.Path("nowhere")},
         2,
         "tarvik: Site root " + dir.Path("nowhere") + " is not a directory\n"},
        {{dir.Path("ex1.log"), "--save", dir.Path("missing/dir/stats.qvs")},
         1,
         "tarvik: Could not write file " + dir.Path("missing/dir/stats.qvs") + "\n"},
    };
    for (const Case& c : cases) {
        Result r = Logs(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
        EXPECT_EQ(r.err, c.err);
    }
    // --range with --from is refused by the option parser.
    EXPECT_NE(Logs({dir.Path("ex1.log"), "--range", "Last Day", "--from", "2026-10-01 00:00:00",
                    "--to", "2026-10-02 00:00:00"})
                  .status,
              0);
    EXPECT_NE(Logs({}).status, 0);
}

TEST_F(LogCommandTest, SaveWritesTheGraph) {
    dir.Write("ex7.log", kCombined);
    std::filesystem::create_directory(dir.Path("site"));
    dir.Write("site/a.html", std::string(7000, 'a'));
    dir.Write("site/index.html", "<a href=\"a.html\">a</a>");
    Result r = Logs({dir.Path("ex*.log"), "--site", dir.Path("site"), "--domain", "www.example.com",
                     "--save", dir.Path("stats.qvs")});
    ASSERT_EQ(r.status, 0) << r.err;
    // Sizes came from the site: a.html loads in 2 s.
    EXPECT_NE(r.out.find("/a.html\t1\t2\t18\n"), std::string::npos) << r.out;
    CSiteMap map("index.html");
    ASSERT_TRUE(map.Load(dir.Path("stats.qvs")));
    ASSERT_NE(map.FindPage("/a.html"), nullptr);
    ASSERT_EQ(map.FindPage("/a.html")->Links.size(), 1u);
    EXPECT_EQ(map.FindPage("/a.html")->Links[0]->Target, map.FindPage("/b.html"));
    EXPECT_EQ(map.FindPage("/a.html")->Links[0]->Weight, 1.0);
    EXPECT_EQ(map.FindPage("/a.html")->ViewSamples, 1);
    ASSERT_EQ(map.FindPage("/a.html")->Images.size(), 1u);
    EXPECT_EQ(map.FindPage("/a.html")->Images[0]->Name, "/i.gif");
    // The site was crawled first: its home page and its static link are in the graph.
    ASSERT_NE(map.FindPage("/index.html"), nullptr);
    ASSERT_EQ(map.FindPage("/index.html")->Links.size(), 1u);
    EXPECT_TRUE(map.FindPage("/index.html")->Links[0]->IsStatic);

    // A site whose home page cannot be read: the crawl's message, and no analysis.
    std::filesystem::remove(dir.Path("site/index.html"));
    r = Logs({dir.Path("ex*.log"), "--site", dir.Path("site"), "--domain", "www.example.com"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvik: Could not read file /index.html\n");
}

}  // namespace
