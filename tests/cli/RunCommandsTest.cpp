// The tarvik commands where a transcript cannot tell: several processes at once, signals, a
// terminal, a full disk, and files that must stay as they were. Run as the built command on the
// small site of the run tests in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "processing/ArchiveReader.h"
#include "processing/RunFixture.h"
#include "support/TarvikRunner.h"

namespace {

using namespace runtest;

using Result = TarvikResult;

class RunCommandsTest : public RunFixture {
  public:
    // Starts tarvik with the test's settings file and working directory; stdout and stderr go to
    // files named after tag. The process id (-1 when it could not start).
    pid_t Start(const std::vector<std::string>& args, const std::string& tag = "",
                const std::string& input = "", rlim_t fileSizeLimit = RLIM_INFINITY) {
        TarvikCall call({"--registry", dir / "config/tarvik.reg"}, {"HOME=" + dir.Path()});
        if (std::find(args.begin(), args.end(), "--workdir") == args.end())
            call.args.insert(call.args.end(), {"--workdir", dir / "work"});
        call.args.insert(call.args.end(), args.begin(), args.end());
        call.input = input;
        call.fileSizeLimit = fileSizeLimit;
        return StartTarvik(call, dir / ("run" + tag));
    }
    Result Finish(pid_t pid, const std::string& tag = "") {
        return FinishTarvik(pid, dir / ("run" + tag));
    }
    // Waits until the process's stderr holds text (false after about 15 seconds).
    bool WaitFor(const std::string& tag, const std::string& text) {
        for (int i = 0; i < 3000; ++i) {
            if (ReadWholeFile(dir / ("run" + tag + ".err")).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // A log of n hits, long enough that reading it keeps a run busy for a while.
    void WriteLongLog(int n) {
        std::string log;
        for (int i = 0; i < n; ++i)
            log += LogLine(t0 + i, "v" + std::to_string(i % 50), i % 2 ? "/a.html" : "/b.html");
        WriteLog("access.log", log);
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
            if (eq != std::string::npos)
                values[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return values;
    }
};

const std::regex kProcessTimeForm(
    "[1-9][0-9]?/[1-9][0-9]?/[0-9]{2} (0[1-9]|1[0-2]):[0-5][0-9] (AM|PM)");

// Processes adding agents at once: every agent is kept, under a key of its own.
TEST_F(RunCommandsTest, ProcessesAddingAtOnceAreAllKept) {
    constexpr int kRounds = 3;
    constexpr int kAtOnce = 4;
    ASSERT_TRUE(dir.MakeDir("site/tarvik"));
    for (int round = 0; round < kRounds; ++round) {
        std::vector<pid_t> pids;
        for (int i = 0; i < kAtOnce; ++i) {
            pids.push_back(Start({"add", "Description=agent " + std::to_string(round * kAtOnce + i),
                                  "DomainName=example.com", "RootDirectory=" + (dir / "site"),
                                  "ignoreLogFile=true", "IsBackup=false"},
                                 std::to_string(i)));
        }
        for (int i = 0; i < kAtOnce; ++i) {
            Result r = Finish(pids[static_cast<std::size_t>(i)], std::to_string(i));
            EXPECT_EQ(r.status, 0) << r.err;
        }
    }
    Result r = Tarvik({"list"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    EXPECT_EQ(lines.size(), 1u + kRounds * kAtOnce) << r.out;
    for (int n = 0; n < kRounds * kAtOnce; ++n) {
        const std::string key = "example.com " + std::to_string(n);
        EXPECT_NE(r.out.find("\n" + key + " "), std::string::npos) << key;
        EXPECT_NE(r.out.find("  agent " + std::to_string(n) + " "), std::string::npos) << n;
    }
}

// A write that fails (the disk is full) leaves the settings file whole.
TEST_F(RunCommandsTest, AWriteThatFailsLeavesTheSettingsFileWhole) {
    AddShop({"IsBackup=false"});
    const std::string reg = dir / "config/tarvik.reg";
    const std::string before = ReadWholeFile(reg);
    // The limit lets the statistics files through but not the grown settings file.
    Result r = Finish(Start({"set", "Shop", "Description=" + std::string(8000, 'd')}, "", "",
                            static_cast<rlim_t>(before.size() + 100)));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.LastErrorLine(),
              "tarvik: Could not write settings file " + reg + " (File too large)");
    EXPECT_EQ(ReadWholeFile(reg), before);
    EXPECT_EQ(Tarvik({"show", "Shop"}).status, 0);
}

// Ctrl-C while the logs are read: the run stops, says so, keeps the outcome and ends with 130.
TEST_F(RunCommandsTest, InterruptStopsTheRun) {
    WriteLongLog(100000);
    AddShop();
    pid_t pid = Start({"run", "Shop"});
    ASSERT_TRUE(WaitFor("", "Analyzing log files"));
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
// pages are archived under their own names.
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
}

// Every file under the test's directory but the command's own output, by relative name.
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root);
        if (entry.is_regular_file() && !name.starts_with("run") && name != "chart.svg") {
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
