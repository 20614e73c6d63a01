// The tarvik commands where a transcript cannot tell: several processes at once, signals and a
// terminal. Run as the built command on the small site of the run tests in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

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
                const std::string& input = "") {
        TarvikCall call({"--registry", dir / "config/tarvik.reg", "--workdir", dir / "work"},
                        {"HOME=" + dir.Path()});
        call.args.insert(call.args.end(), args.begin(), args.end());
        call.input = input;
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
    Result Tarvik(const std::vector<std::string>& args) { return Finish(Start(args)); }

    // Adds an agent without a backup for the fixture's site and log.
    void AddShop(const std::string& name = "Shop") {
        Result r =
            Tarvik({"add", "Description=" + name, "DomainName=www.example.com",
                    "RootDirectory=" + (dir / "site"), "LogFile=" + (dir / "logs/access.log"),
                    "StatRange=All log files", "IsBackup=false", "--create-dirs"});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    // The stored values of Shop as tarvik show prints them, each line between two line breaks.
    std::string Shown() { return "\n" + Tarvik({"show", "Shop"}).out; }
};

const std::regex kProcessTime(
    "\nProcessTime=[1-9][0-9]?/[1-9][0-9]?/[0-9]{2} (0[1-9]|1[0-2]):[0-5][0-9] (AM|PM)\n");

// Processes adding agents at once: every agent is kept, under a key of its own.
TEST_F(RunCommandsTest, ProcessesAddingAtOnceAreAllKept) {
    constexpr int kAtOnce = 8;
    ASSERT_TRUE(dir.MakeDir("site/tarvik"));
    std::vector<pid_t> pids;
    for (int i = 0; i < kAtOnce; ++i) {
        pids.push_back(
            Start({"add", "Description=agent " + std::to_string(i), "DomainName=example.com",
                   "RootDirectory=" + (dir / "site"), "ignoreLogFile=true", "IsBackup=false"},
                  std::to_string(i)));
    }
    for (int i = 0; i < kAtOnce; ++i) {
        Result r = Finish(pids[static_cast<std::size_t>(i)], std::to_string(i));
        EXPECT_EQ(r.status, 0) << r.err;
    }
    Result r = Tarvik({"list"});
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + kAtOnce) << r.out;
    for (int n = 0; n < kAtOnce; ++n) {
        EXPECT_NE(r.out.find("  agent " + std::to_string(n) + " "), std::string::npos) << n;
    }
}

// Ctrl-C while the logs are read: the run stops, says so, keeps the outcome and ends with 130.
// Meanwhile a second run of the same agent is refused at once, and another agent runs.
TEST_F(RunCommandsTest, InterruptStopsTheRunAndOneRunPerAgentAtATime) {
    std::string log;  // long enough that reading it keeps the run busy for a while
    for (int i = 0; i < 200000; ++i)
        log += LogLine(t0 + i, "v" + std::to_string(i % 50), i % 2 ? "/a.html" : "/b.html");
    WriteLog("access.log", log);
    AddShop();
    AddShop("Blog");
    pid_t pid = Start({"run", "Shop"}, "first");
    ASSERT_TRUE(WaitFor("first", "Analyzing log files"));
    Result second = Tarvik({"run", "Shop"});
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err,
              "tarvik: Agent \"www.example.com 0\" is being run by another program; try again "
              "when that run has ended\n");
    EXPECT_EQ(Tarvik({"run", "Blog", "--map"}).status, 0);
    kill(pid, SIGINT);
    Result r = Finish(pid, "first");
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.ends_with("tarvik: Process Stopped\n")) << r.err;
    EXPECT_TRUE(PagesUntouched());
    const std::string shown = Shown();
    EXPECT_NE(shown.find("\nIsProcessed=false\n"), std::string::npos) << shown;
    EXPECT_TRUE(std::regex_search(shown, kProcessTime)) << shown;
}

// Three programs over one settings file and working directory: a remove held open at its
// question (on a terminal) while a run, a set and another remove finish. Every change of every
// process is in the files at the end, and what none of them changed is as it was.
TEST_F(RunCommandsTest, OverlappingCommandsKeepEveryChange) {
    AddShop();
    AddShop("Blog");
    AddShop("Wiki");
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
    const std::string shown = Shown();
    EXPECT_NE(shown.find("\nCachePageLimit=5\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\nIsProcessed=true\n"), std::string::npos) << shown;
    const std::string position = "\nLastLogPosition=" + std::to_string(FirstLog().size()) + "\n";
    EXPECT_NE(shown.find(position), std::string::npos) << shown;
    EXPECT_NE(ReadWholeFile(reg).find("\"Password\"=\"XYZ\""), std::string::npos);
    Result list = Tarvik({"list"});
    EXPECT_EQ(list.out.find("Blog"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("Wiki"), std::string::npos) << list.out;
}

// Ctrl-C twice while the pages are rewritten: the process ends at once, but between two whole
// files and with the outcome and the statistics saved.
TEST_F(RunCommandsTest, SecondInterruptSavesBeforeEnding) {
    const std::string plain = "<html><body>page</body></html>\n";
    std::string index = "<html><body>";
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "p" + std::to_string(i) + ".html";
        index += "<a href=\"" + name + "\">x</a>";
        ASSERT_TRUE(dir.WriteFile("site/" + name, plain));
    }
    ASSERT_TRUE(dir.WriteFile("site/index.html", index + "</body></html>\n"));
    AddShop();
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
        const bool rewritten = page.find("startQuorvane") != std::string::npos;
        EXPECT_TRUE(rewritten ? page.ends_with("</html>\n") : page == plain) << page;
        embedded += rewritten;
    }
    EXPECT_LT(embedded, 3000);
    CSiteMap map("index.html");
    EXPECT_TRUE(map.Load(dir / "work/www.example.com 0.qvs"));
    EXPECT_EQ(map.PageCount(), 3003);
    EXPECT_NE(Shown().find("\nIsProcessed=false\n"), std::string::npos);
}

}  // namespace
