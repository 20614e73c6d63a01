// tarvik run and tarvik estimate, run as the built command on an agent made with tarvik add,
// against the small site of the run tests in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "agent/AgentFields.h"
#include "processing/ArchiveReader.h"
#include "processing/RunFixture.h"
#include "support/TarvikRunner.h"

namespace {

using namespace runtest;

using Result = TarvikResult;

class RunCommandsTest : public RunFixture {
  public:
    // Starts tarvik with the registry and working directory of the test and the arguments;
    // stdout and stderr go to files. Returns the process id (-1 when it could not start).
    pid_t Start(const std::vector<std::string>& args, const std::string& tag = "",
                const std::string& input = "/dev/null") {
        std::vector<std::string> argv = {TARVIK_EXE, "--registry", dir / "config/tarvik.reg"};
        if (std::find(args.begin(), args.end(), "--workdir") == args.end()) {
            argv.insert(argv.end(), {"--workdir", dir / "work"});
        }
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"HOME=" + dir.Path(), "PATH=/usr/bin:/bin", "TZ=UTC",
                                        "ASAN_OPTIONS=detect_leaks=1"};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDWR, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / ("out" + tag)).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, (dir / ("err" + tag)).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> cargv, cenv;
        for (std::string& a : argv) {
            cargv.push_back(a.data());
        }
        cargv.push_back(nullptr);
        for (std::string& v : env) {
            cenv.push_back(v.data());
        }
        cenv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    Result Finish(pid_t pid, const std::string& tag = "") {
        Result r;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            r.status = WEXITSTATUS(status);
        }
        r.out = ReadWholeFile(dir / ("out" + tag));
        r.err = ReadWholeFile(dir / ("err" + tag));
        return r;
    }
    // Waits until the process's stderr holds text (false after about 15 seconds).
    bool WaitFor(const std::string& tag, const std::string& text) {
        for (int i = 0; i < 3000; ++i) {
            if (ReadWholeFile(dir / ("err" + tag)).find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // A log of n hits, long enough that reading it keeps a run busy for a while.
    void WriteLongLog(int n) {
        std::string log;
        for (int i = 0; i < n; ++i) {
            log += LogLine(t0 + i, "v" + std::to_string(i % 50), i % 2 ? "/a.html" : "/b.html");
        }
        WriteLog("access.log", log);
    }
    // Every learnt count of a statistics file, one line per page and link, for comparisons.
    std::string Counts(const std::string& file) {
        CSiteMap map("index.html");
        EXPECT_TRUE(map.Load(dir / file));
        std::string text;
        for (const auto& page : map.Pages()) {
            text += page->Name + " " + std::to_string(page->ViewSamples) + "\n";
            for (const auto& link : page->Links) {
                text += "  " + link->Target->Name + " " + std::to_string(link->Weight) + "\n";
            }
        }
        return text;
    }
    Result Tarvik(const std::vector<std::string>& args) { return Finish(Start(args)); }

    // Adds the agent "Shop" for the fixture's site with the given further settings.
    void AddShop(const std::vector<std::string>& more = {}, const std::string& name = "Shop",
                 const std::string& key = "www.example.com 0") {
        std::vector<std::string> args = {"add",
                                         "Description=" + name,
                                         "DomainName=www.example.com",
                                         "RootDirectory=" + (dir / "site"),
                                         "LogFile=" + (dir / "logs/access.log"),
                                         "StatRange=All log files",
                                         "BackupDir=" + (dir / "backup/site.zip"),
                                         "--create-dirs"};
        args.insert(args.end(), more.begin(), more.end());
        Result r = Tarvik(args);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(r.out, key + "\n");
    }

    // The agent's statistics file as the command left it.
    std::unique_ptr<CSiteMap> Statistics() {
        auto map = std::make_unique<CSiteMap>("index.html");
        EXPECT_TRUE(map->Load(dir / "work/www.example.com 0.qvs"));
        return map;
    }

    // The stored values of the agent, as tarvik show prints them.
    std::map<std::string, std::string> Shown() {
        std::map<std::string, std::string> values;
        Result r = Tarvik({"show", "Shop"});
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos) {
                values[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        return values;
    }
};

const std::regex kProcessTimeForm(
    "[1-9][0-9]?/[1-9][0-9]?/[0-9]{2} (0[1-9]|1[0-2]):[0-5][0-9] (AM|PM)");

TEST_F(RunCommandsTest, AnAddedAgentRunsEndToEnd) {
    // The working directory lacks one runtime file and holds the operator's own version of
    // another: the program supplies the first and keeps the second.
    fs::remove(dir / "work/qvan.jar");
    ASSERT_TRUE(dir.WriteFile("work/a.class", "my own a.class"));
    AddShop();
    Result r = Tarvik({"run", "Shop"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Site processing finished successfully\n");
    // Not a terminal: one plain line per phase at least.
    for (const char* title :
         {"Analyzing site ...", "Analyzing log files ...", "Site Backup to site.zip",
          "Concluding Caching Instructions", "Embedding Java into Site"}) {
        EXPECT_NE(r.err.find(title), std::string::npos) << title;
    }
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_TRUE(Embedded("index.html", kIndexHtml));
    EXPECT_TRUE(fs::exists(dir / "backup/site.zip"));
    EXPECT_EQ(ReadWholeFile(dir / "site/tarvik/qvan.jar"),
              ReadWholeFile(kBuiltRuntime + "qvan.jar"));
    EXPECT_EQ(ReadWholeFile(dir / "site/tarvik/a.class"), "my own a.class");

    // The outcome and the statistics were saved.
    auto shown = Shown();
    EXPECT_EQ(shown["IsProcessed"], "true");
    EXPECT_TRUE(std::regex_match(shown["ProcessTime"], kProcessTimeForm)) << shown["ProcessTime"];
    EXPECT_EQ(Statistics()->FindPage("/index.html")->ViewSamples, 2);
    EXPECT_EQ(shown["LastLogFile"], dir / "logs/access.log");
    EXPECT_EQ(shown["LastLogPosition"], std::to_string(FirstLog().size()));

    // The run fails: the message is printed once, the outcome saved.
    Result set = Tarvik({"set", "Shop", "LogFile=" + (dir / "logs/access*.log")});
    ASSERT_EQ(set.status, 0) << set.err;
    fs::rename(dir / "logs/access.log", dir / "logs/old.log");
    r = Tarvik({"run", "Shop"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    const std::string message = "No log files match your request access*.log";
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(message), r.err.rfind(message)) << r.err;
    shown = Shown();
    EXPECT_EQ(shown["IsProcessed"], "false");
    EXPECT_TRUE(std::regex_match(shown["ProcessTime"], kProcessTimeForm));

    r = Tarvik({"run", "Nobody"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarvik: No agent \"Nobody\" (give its key or its description)\n");
}

TEST_F(RunCommandsTest, PhasesOneAtATimeAndTimings) {
    AddShop({"IsBackup=false"});
    Result map = Tarvik({"run", "Shop", "--map"});
    ASSERT_EQ(map.status, 0) << map.err;
    EXPECT_EQ(map.err.find("Analyzing log files"), std::string::npos);
    EXPECT_EQ(Statistics()->PageCount(), 3);
    EXPECT_EQ(Statistics()->FindPage("/index.html")->WeightSum(), 0.0);
    EXPECT_TRUE(PagesUntouched());

    Result log = Tarvik({"run", "Shop", "--log"});
    ASSERT_EQ(log.status, 0) << log.err;
    EXPECT_EQ(log.err.find("Analyzing site ..."), std::string::npos);
    EXPECT_EQ(Statistics()->FindPage("/index.html")->WeightSum(), 2.0);
    EXPECT_TRUE(PagesUntouched());

    Result embed = Tarvik({"run", "Shop", "--embed", "--timings"});
    ASSERT_EQ(embed.status, 0) << embed.err;
    EXPECT_TRUE(Embedded("a.html", kAHtml));
    EXPECT_EQ(Statistics()->FindPage("/index.html")->WeightSum(), 2.0);
    // Each phase that ran with its time, the total and the peak memory.
    const std::regex timings(
        "Phase timings:\n"
        "  Analyzing site's files +[0-9]+\\.[0-9]{2} s\n"
        "  Concluding Caching Instructions +[0-9]+\\.[0-9]{2} s\n"
        "  Embedding Java into Site +[0-9]+\\.[0-9]{2} s\n"
        "  Total +[0-9]+\\.[0-9]{2} s\n"
        "Peak memory: [0-9]+\\.[0-9] MB\n$");
    EXPECT_TRUE(std::regex_search(embed.err, timings)) << embed.err;
}

// Two accumulating runs in two processes: the second resumes the log where the first stopped
// reading, so the hits it had are not counted again.
TEST_F(RunCommandsTest, AccumulatingRunsResumeAcrossProcesses) {
    AddShop({"StatAccumulate=true", "IsBackup=false"});
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    EXPECT_EQ(Statistics()->FindPage("/index.html")->ViewSamples, 2);

    const std::string more =
        LogLine(t0 + 1000, "v3", "/index.html") + LogLine(t0 + 1030, "v3", "/a.html");
    AppendLog("access.log", more);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "the log grew" : "nothing new");
        Result r = Tarvik({"run", "Shop"});
        ASSERT_EQ(r.status, 0) << r.err;
        auto map = Statistics();
        CSitePage* index = map->FindPage("/index.html");
        ASSERT_NE(index, nullptr);
        EXPECT_EQ(index->FindLink(map->FindPage("/a.html"))->Weight, 2.0);
        EXPECT_EQ(index->FindLink(map->FindPage("/b.html"))->Weight, 1.0);
        EXPECT_EQ(map->FindPage("/a.html")->FindLink(map->FindPage("/b.html"))->Weight, 1.0);
        EXPECT_EQ(index->ViewSamples, 3);
        EXPECT_EQ(Shown()["LastLogPosition"], std::to_string(FirstLog().size() + more.size()));
    }
}

// Ctrl-C while the logs are read: the run stops, says so, keeps the outcome and ends with 130.
TEST_F(RunCommandsTest, InterruptStopsTheRun) {
    std::string log;
    for (int i = 0; i < 100000; ++i) {
        log += LogLine(t0 + i, "v" + std::to_string(i % 50), i % 2 ? "/a.html" : "/b.html");
    }
    WriteLog("access.log", log);
    AddShop();
    pid_t pid = Start({"run", "Shop"});
    ASSERT_GT(pid, 0);
    bool reached = false;
    for (int i = 0; i < 3000 && !reached; ++i) {
        reached = ReadWholeFile(dir / "run.err").find("Analyzing log files") != std::string::npos;
        if (!reached) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ASSERT_TRUE(reached);
    kill(pid, SIGINT);
    Result r = Finish(pid);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.ends_with("tarvik: Process Stopped\n")) << r.err;
    EXPECT_TRUE(PagesUntouched());
    auto shown = Shown();
    EXPECT_EQ(shown["IsProcessed"], "false");
    EXPECT_TRUE(std::regex_match(shown["ProcessTime"], kProcessTimeForm));
}

// The estimates as the dialog shows them. a.html loads in 10 s (35,000 bytes), b.html links
// nowhere. Visits: index, a (20 s later), b (30 s later); index, a (25 s later).
TEST_F(RunCommandsTest, EstimatesAsTheDialogShowsThem) {
    std::string a = "<html><body><a href=\"b.html\">B</a>";
    a += std::string(35000 - a.size() - 15, ' ') + "</body></html>\n";
    ASSERT_EQ(a.size(), 35000u);
    ASSERT_TRUE(dir.WriteFile("site/index.html",
                              "<html><body><a href=\"a.html\">A</a><img src=\"logo.gif\"></body>"
                              "</html>\n"));
    ASSERT_TRUE(dir.WriteFile("site/a.html", a));
    ASSERT_TRUE(dir.WriteFile("site/b.html", "<html><body>the end</body></html>\n"));
    WriteLog("access.log", LogLine(t0, "v1", "/index.html") + LogLine(t0 + 20, "v1", "/a.html") +
                               LogLine(t0 + 50, "v1", "/b.html") +
                               LogLine(t0 + 100, "v2", "/index.html") +
                               LogLine(t0 + 125, "v2", "/a.html"));
    AddShop({"IsBackup=false"});

    Result none = Tarvik({"estimate", "Shop"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err,
              "tarvik: Agent \"www.example.com 0\" has no site statistics yet; run it first "
              "(tarvik run)\n");

    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    // index: load 0, idle (20 + 25) / 2 = 22, base 0.2 + 0.8 x 21/22; its one link (weight 2)
    // leads to a page of 10 s: W0 = 10, W1 = (1 - base^5) x 10 = 1.69, 491 %. a: its link leads
    // to a page of 0 s: 0, 0 and 0 %. Site: (10 / 1.69 - 1) x 2 / 3 = 328 %.
    Result table = Tarvik({"estimate", "Shop"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out,
              "Page         Load time   Idle time   Next click without prefetching  "
              "Next click with prefetching  Next click acceleration\n"
              "/index.html  0 Seconds   22 Seconds  9 Seconds                       "
              "1 Seconds                    491%\n"
              "/a.html      10 Seconds  20 Seconds  0 Seconds                       "
              "0 Seconds                    0%\n"
              "/b.html      0 Seconds   0 Seconds   no direct links                 "
              "no direct links              no direct links\n"
              "\n"
              "Estimated site click acceleration: 328%\n");
    EXPECT_EQ(table.err, "");

    Result json = Tarvik({"estimate", "Shop", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out,
              "{\n"
              "  \"site\": {\"available\": true, \"acceleration\": 3.27654, \"percent\": 328},\n"
              "  \"pages\": [\n"
              "    {\"name\": \"/index.html\", \"loadSeconds\": 0, \"idleSeconds\": 22, "
              "\"directLinks\": true, \"w0\": 10, \"w1\": 1.69067, \"weight\": 2, "
              "\"percent\": 491},\n"
              "    {\"name\": \"/a.html\", \"loadSeconds\": 10, \"idleSeconds\": 20, "
              "\"directLinks\": true, \"w0\": 0, \"w1\": 0, \"weight\": 1, \"percent\": 0},\n"
              "    {\"name\": \"/b.html\", \"loadSeconds\": 0, \"idleSeconds\": 0, "
              "\"directLinks\": false}\n"
              "  ]\n"
              "}\n");

    // Without logs there are no link weights: no site statistics.
    ASSERT_EQ(Tarvik({"set", "Shop", "ignoreLogFile=true"}).status, 0);
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    Result bare = Tarvik({"estimate", "Shop"});
    ASSERT_EQ(bare.status, 0) << bare.err;
    EXPECT_TRUE(
        bare.out.ends_with("\nEstimated site click acceleration: Site statistics not "
                           "available\n"))
        << bare.out;
}

// Three programs over one settings file and working directory: a remove held open at its
// question (on a terminal) while a run, a set and another remove finish. Every change of every
// process is in the files at the end, and what none of them changed is as it was.
TEST_F(RunCommandsTest, OverlappingCommandsKeepEveryChange) {
    AddShop({"IsBackup=false"});
    AddShop({"IsBackup=false"}, "Blog", "www.example.com 1");
    AddShop({"IsBackup=false"}, "Wiki", "www.example.com 2");
    ASSERT_EQ(Tarvik({"run", "Blog"}).status, 0);
    ASSERT_TRUE(fs::exists(dir / "work/www.example.com 1.qvs"));
    const fs::path reg = dir / "config/tarvik.reg";
    std::string settings = ReadWholeFile(reg);
    const std::size_t at = settings.find("\"Password\"=\"\"");  // Shop's, the first agent
    ASSERT_NE(at, std::string::npos);
    settings.replace(at, 13, "\"Password\"=\"XYZ\"");  // cannot be decoded
    ASSERT_TRUE(CTempDir::WriteFileAt(dir / "config", "tarvik.reg", settings));

    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal) | unlockpt(terminal), 0);
    pid_t held = Start({"remove", "Blog"}, "held", ptsname(terminal));
    ASSERT_TRUE(WaitFor("held", "from the list?"));
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    const std::string stats = ReadWholeFile(dir / "work/www.example.com 0.qvs");
    ASSERT_EQ(Tarvik({"set", "Shop", "CachePageLimit=5"}).status, 0);
    ASSERT_EQ(Tarvik({"remove", "Wiki", "--yes"}).status, 0);
    ASSERT_EQ(write(terminal, "y\n", 2), 2);
    Result r = Finish(held, "held");
    close(terminal);
    EXPECT_EQ(r.status, 0) << r.err;

    EXPECT_EQ(ReadWholeFile(dir / "work/www.example.com 0.qvs"), stats);
    auto shown = Shown();
    EXPECT_EQ(shown["CachePageLimit"], "5");
    EXPECT_EQ(shown["IsProcessed"], "true");
    EXPECT_TRUE(std::regex_match(shown["ProcessTime"], kProcessTimeForm));
    EXPECT_EQ(shown["LastLogPosition"], std::to_string(FirstLog().size()));
    EXPECT_NE(ReadWholeFile(reg).find("\"Password\"=\"XYZ\""), std::string::npos);
    Result list = Tarvik({"list"});
    EXPECT_EQ(list.out.find("Blog"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("Wiki"), std::string::npos) << list.out;
    // The freed key takes its statistics file with it.
    EXPECT_FALSE(fs::exists(dir / "work/www.example.com 1.qvs"));
}

// A statistics file that cannot be read survives every command that only looks at it, and the
// next run keeps it beside the new one.
TEST_F(RunCommandsTest, UnreadableStatisticsAreNeverOverwritten) {
    AddShop({"IsBackup=false"});
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    const fs::path file = dir / "work/www.example.com 0.qvs";
    fs::resize_file(file, fs::file_size(file) / 2);
    const std::string cut = ReadWholeFile(file);
    for (const char* command : {"list", "show", "estimate"}) {
        Tarvik(command == std::string("list") ? std::vector<std::string>{command}
                                              : std::vector<std::string>{command, "Shop"});
        EXPECT_EQ(ReadWholeFile(file), cut) << command;
    }
    Result r = Tarvik({"run", "Shop"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("tarvik: The statistics file " + file.string() +
                         " could not be read; it was kept as " + file.string() + ".damaged\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadWholeFile(file.string() + ".damaged"), cut);
    EXPECT_EQ(Statistics()->FindPage("/index.html")->ViewSamples, 2);
}

// One run per agent: a second run of the same agent is refused at once while the first reads
// a long log; another agent runs meanwhile.
TEST_F(RunCommandsTest, OneRunPerAgentAtATime) {
    WriteLongLog(100000);
    AddShop({"IsBackup=false"});
    AddShop({"IsBackup=false"}, "Blog", "www.example.com 1");
    pid_t first = Start({"run", "Shop"}, "first");
    ASSERT_TRUE(WaitFor("first", "Analyzing log files"));
    Result second = Tarvik({"run", "Shop"});
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err,
              "tarvik: Agent \"www.example.com 0\" is being run by another program; try again "
              "when that run has ended\n");
    pid_t other = Start({"run", "Blog"}, "other");
    EXPECT_EQ(Finish(other, "other").status, 0);
    Result r = Finish(first, "first");
    EXPECT_EQ(r.status, 0) << r.err;
}

// Accumulating runs in two working directories, the first with a range that ends before the
// newest hits: every graph ends with each hit learnt once, as one run over all the logs.
TEST_F(RunCommandsTest, ResumeStateTravelsWithItsStatistics) {
    const std::string late = LogLine(t0 + 1000, "v3", "/index.html") +
                             LogLine(t0 + 1030, "v3", "/a.html") +
                             LogLine(t0 + 1060, "v3", "/b.html");
    AppendLog("access.log", late);
    AddShop({"IsBackup=false"});
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    fs::copy_file(dir / "work/www.example.com 0.qvs", dir / "all.qvs");
    const std::string all = Counts("all.qvs");
    ASSERT_EQ(
        Tarvik({"set", "Shop", "StatAccumulate=true", "StatRange=Specify Range",
                "StartTime=" + FormatLocalTime(t0 - 10), "EndTime=" + FormatLocalTime(t0 + 500)})
            .status,
        0);
    fs::remove(dir / "work/www.example.com 0.qvs");
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    EXPECT_EQ(Shown()["LastLogPosition"], std::to_string(FirstLog().size()));
    ASSERT_TRUE(dir.MakeDir("work2"));
    WriteApplets(dir / "work2");
    const std::string other = dir / "work2";
    Result list = Tarvik({"list", "--workdir", other});
    ASSERT_EQ(list.status, 0) << list.err;
    ASSERT_EQ(Tarvik({"set", "Shop", "EndTime=2037-12-31 00:00:00"}).status, 0);
    ASSERT_EQ(Tarvik({"run", "Shop"}).status, 0);
    EXPECT_EQ(Counts("work/www.example.com 0.qvs"), all);
    // The other directory's graph cannot use the resume state of this one, nor this one the
    // other's afterwards: each reads the logs afresh, and says so.
    for (const std::string& workDir : {other, std::string(dir / "work")}) {
        Result r = Tarvik({"run", "Shop", "--workdir", workDir});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("The log resume state of agent \"www.example.com 0\" does not "
                             "belong to its statistics; reading the logs from the start into "
                             "empty statistics"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(Counts(fs::path(workDir).lexically_relative(dir.Path()).string() +
                         "/www.example.com 0.qvs"),
                  all);
    }
}

// Ctrl-C twice while the pages are rewritten: the process ends at once, but between two whole
// files and with the outcome and the statistics saved.
TEST_F(RunCommandsTest, SecondInterruptSavesBeforeEnding) {
    std::string index = "<html><body>";
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "p" + std::to_string(i) + ".html";
        index += "<a href=\"" + name + "\">x</a>";
        ASSERT_TRUE(dir.WriteFile("site/" + name, "<html><body>page</body></html>\n"));
    }
    ASSERT_TRUE(dir.WriteFile("site/index.html", index + "</body></html>\n"));
    AddShop({"IsBackup=false"});
    pid_t pid = Start({"run", "Shop"});
    ASSERT_TRUE(WaitFor("", "Embedding Java into Site"));
    kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // two signals, not one pending
    kill(pid, SIGINT);
    Result r = Finish(pid);
    ASSERT_EQ(r.status, 130) << r.err;
    int embedded = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string page = Site("p" + std::to_string(i) + ".html");
        EXPECT_TRUE(
            page == "<html><body>page</body></html>\n" ||
            (page.find("startQuorvane") != std::string::npos && page.ends_with("</html>\n")))
            << page;
        embedded += page.find("startQuorvane") != std::string::npos;
    }
    EXPECT_LT(embedded, 3000);
    EXPECT_EQ(Statistics()->PageCount(), 3003);
    EXPECT_EQ(Shown()["IsProcessed"], "false");
}

// Names a site or a log hands over are data: a link out of the root is never followed, backed-up
// pages are archived under their own names, and a directory given to decode is refused.
TEST_F(RunCommandsTest, NamesAreTakenLiterally) {
    const std::vector<std::string> pages = {"a[1].html", "b*.html", "c?.html", "d e#.html",
                                            "\xC3\xA9t\xC3\xA9.html"};
    std::string index = "<html><body>";
    for (const std::string& page : pages) {
        index += "<a href=\"" + page + "\">x</a>";
        ASSERT_TRUE(dir.WriteFile("site/" + page, kBHtml));
    }
    for (const char* decoy : {"a1.html", "bee.html", "cc.html"}) {
        ASSERT_TRUE(dir.WriteFile(std::string("site/") + decoy, kBHtml));
    }
    ASSERT_TRUE(dir.WriteFile("site/index.html", index + "</body></html>\n"));
    ASSERT_TRUE(dir.WriteFile("outside.html", kBHtml));
    fs::create_symlink("../outside.html", dir / "site/link.html");
    WriteLog("access.log", FirstLog() + LogLine(t0 + 300, "v4", "/link.html"));
    AddShop();
    Result r = Tarvik({"run", "Shop"});
    EXPECT_EQ(ReadWholeFile(dir / "outside.html"), kBHtml);
    std::set<std::string> rewritten;
    for (const auto& entry : fs::directory_iterator(dir / "site")) {
        if (entry.is_regular_file() && !entry.is_symlink() &&
            Site(entry.path().filename()).find("startQuorvane") != std::string::npos) {
            rewritten.insert(entry.path().filename());
        }
    }
    std::set<std::string> archived;
    for (const auto& [name, contents] : ReadArchive(dir / "backup/site.zip")) {
        archived.insert(fs::path(name).filename());
    }
    EXPECT_EQ(archived, rewritten) << r.err;
    EXPECT_EQ(rewritten.count("a[1].html") + rewritten.count("b*.html"), 2u);
    EXPECT_EQ(rewritten.count("a1.html") + rewritten.count("bee.html"), 0u);

    Result decode = Tarvik({"decode", dir / "site"});
    EXPECT_EQ(decode.status, 1);
    EXPECT_EQ(decode.err,
              "tarvik: " + (dir / "site") + " is a directory; decode wants instruction files\n");
}

// Every file under the test's directory but the command's own output, by relative name.
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root);
        if (entry.is_regular_file() && name != "out" && name != "err" && name != "chart.svg") {
            files[name] = ReadWholeFile(entry.path());
        }
    }
    return files;
}

TEST_F(RunCommandsTest, EvaluateReplaysWithoutWritingAnything) {
    AddShop();
    ASSERT_EQ(Tarvik({"run", "Shop", "--map", "--log"}).status, 0);
    const auto before = Tree(dir.Path());
    // Replayed on the log it learnt: index -> a, a -> b and index -> b all in the lists (no
    // limits); with one page per list index keeps a (equal weights keep document order).
    Result r = Tarvik({"evaluate", "Shop", "--logs", dir / "logs/access.log", "--json", "--sweep",
                       "pages=1,off", "--chart", dir / "chart.svg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Tree(dir.Path()), before);
    for (const char* part :
         {"\"site\": {\"views\": 5, \"transitions\": 3, \"agent\": {\"hits\": 3,",
          "{\"pageLimit\": 1, \"kbLimit\": null, \"score\": {\"hits\": 2,",
          "{\"pageLimit\": null, \"kbLimit\": null, \"score\": {\"hits\": 3,"}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    }
    EXPECT_TRUE(ReadWholeFile(dir / "chart.svg").starts_with("<svg "));

    Result bad = Tarvik({"evaluate", "Shop", "--logs", dir / "logs/access.log", "--split", "100"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "tarvik: Invalid split \"100\": expected a whole number from 1 to 99\n");
}

}  // namespace
