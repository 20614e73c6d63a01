// The steps of an agent as the step-by-step dialog and `tarvik run` take them, with a real
// settings file and working directory: a stopped or failed crawl or log analysis leaves the graph
// as it was, a step that cannot run or save says why, every step reaches the site named now.
#include "processing/AgentStep.h"

#include <functional>
#include <tuple>

#include "RunFixture.h"
#include "agent/AgentTestUtil.h"
#include "agent/BrevDoc.h"
#include "agent/RunLock.h"
#include "agent/SettingsStore.h"
#include "hive/HiveFile.h"

namespace {

using runtest::RunFixture;
namespace fs = std::filesystem;

class StepRunTest : public RunFixture {
  public:
    void SetUp() override {
        RunFixture::SetUp();
        SetUserHivePath(dir / "config/tarvik.reg");
        agent.IsBackup = false;
        ASSERT_TRUE(doc.Open(dir / "work"));
        step = doc.AddAgent(agent);
        ASSERT_NE(step, nullptr);
        stats = StatisticsFileName(dir / "work", step->AgentKey);
    }
    void TearDown() override {
        doc.Close();
        SetUserHivePath(dir / "unused.reg");
    }
    StepResult Step(unsigned phases, CProgressSink* sink) {
        return RunAgentStep(
            doc, *step, [sink](CProcessingTask& task) { return RunTask(task, sink); }, phases);
    }

    agenttest::RecordingPrompt prompt;
    CBrevDoc doc{prompt};
    CAgentSettings* step = nullptr;
    std::string stats;
};

// Stopped or failed while crawling or reading logs: the graph, its orders set by hand and its
// resume state are what they were, in memory and in the statistics file, byte for byte; the
// outcome is saved.
TEST_F(StepRunTest, AStoppedOrFailedMapOrLogStepLeavesTheGraphAsItWas) {
    ASSERT_TRUE(Step(kFullRun, nullptr).succeeded) << GetLastMessage();
    CSitePage* index = step->SiteMap->FindPage("/index.html");
    index->ForcePrefetchOrder = true;
    index->ForcedPrefetchPages = {step->SiteMap->FindPage("/b.html")};
    ASSERT_TRUE(doc.SaveAgentState(*step));
    const std::string before = ReadWholeFile(stats);
    const auto resumeState = [](const CSiteMap& map) {
        return std::make_tuple(map.LastLogFile, map.LastLogPosition, map.LastLogNumber);
    };
    const auto resumeBefore = resumeState(*step->SiteMap);
    ASSERT_GT(step->SiteMap->LastLogPosition, 0);
    const std::string homePage = step->HomePage;
    const std::string logFile = step->LogFile;

    struct Case {
        const char* what;
        unsigned phases;
        std::string stopTitle;  // "" runs to the failure
        int polls = 0;          // further polls before Stop
        std::function<void(StepRunTest&)> breakSite = nullptr;
        std::string message = "Process Stopped";
    };
    const Case cases[] = {
        {"map, stopped as the crawl begins", kRunMap, "Analyzing site ..."},
        {"map, stopped after the crawl", kRunMap, "Analyzing site's files"},
        {"log, stopped after two records", kRunLog, "Analyzing log files ...", 2},
        {"map and log, stopped in the logs", kRunMap | kRunLog, "Analyzing log files ...", 2},
        {"map, home page unreadable", kRunMap, "", 0,
         [](StepRunTest& t) { t.step->HomePage = "missing.html"; },
         "Could not read file /missing.html"},
        {"log, no log files", kRunLog, "", 0,
         [](StepRunTest& t) { t.step->LogFile = t.dir / "logs/ex*.log"; },
         "No log files match your request ex*.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.breakSite) {
            c.breakSite(*this);
        }
        RecordingSink sink(c.stopTitle, c.polls);
        const StepResult result = Step(c.phases, &sink);
        EXPECT_FALSE(result.succeeded);
        EXPECT_EQ(result.runMessage, c.message);
        EXPECT_EQ(result.save, StepSave::kSaved) << result.message;
        EXPECT_FALSE(step->IsProcessed);
        ASSERT_NE(step->SiteMap, nullptr);
        EXPECT_EQ(step->SiteMap->Serialize(), before);
        EXPECT_EQ(resumeState(*step->SiteMap), resumeBefore);
        EXPECT_EQ(ReadWholeFile(stats), before);
        step->HomePage = homePage;
        step->LogFile = logFile;
    }
}

// A step that another program's run keeps from starting, or whose files cannot be written, says
// exactly why; the outcome of a run that did not start is not recorded.
TEST_F(StepRunTest, AStepThatCannotRunOrSaveSaysWhy) {
    const std::string work = dir / "work";
    const std::string config = dir / "config";
    struct Case {
        const char* what;
        std::function<void()> during;  // while the step runs
        std::function<void()> after;
        StepSave save;
        std::string message;
    };
    std::unique_ptr<CRunLock> other;
    const Case cases[] = {
        {"another program runs the agent",
         [&] { other = CRunLock::Acquire(stats, step->AgentKey); }, [&] { other.reset(); },
         StepSave::kNotRun,
         "Agent \"www.example.com 0\" is being run by another program; try again when that run "
         "has ended"},
        {"the working directory went away", [&] { fs::rename(work, work + ".away"); },
         [&] { fs::rename(work + ".away", work); }, StepSave::kStatisticsNotSaved,
         "Could not write site statistics file (" + stats + ")"},
        {"the settings directory is a file",
         [&] {
             fs::rename(config, config + ".away");
             ASSERT_TRUE(dir.WriteFile("config", "not a directory"));
         },
         [&] {
             fs::remove(config);
             fs::rename(config + ".away", config);
         },
         StepSave::kSettingsNotSaved,
         "Could not write settings file " + config + "/tarvik.reg (Not a directory)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        step->ProcessTime = "before";
        const bool lockFirst = c.save == StepSave::kNotRun;
        if (lockFirst) {
            c.during();
        }
        const StepResult result = RunAgentStep(
            doc, *step,
            [&](CProcessingTask& task) {
                const bool ran = RunTask(task, nullptr);
                c.during();
                return ran;
            },
            kRunMap);
        c.after();
        EXPECT_EQ(result.save, c.save);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.succeeded, !lockFirst) << result.runMessage;
        EXPECT_EQ(step->ProcessTime == "before", lockFirst);
    }
}

// An embedding after the site's location was edited writes into the new location only.
TEST_F(StepRunTest, AnEmbedStepAfterTheRootMovedWritesIntoTheNewRoot) {
    ASSERT_TRUE(Run(nullptr, kRunMap | kRunLog)) << GetLastMessage();
    fs::copy(dir / "site", dir / "moved", fs::copy_options::recursive);
    agent.RootDirectory = dir / "moved";
    ASSERT_TRUE(Run(nullptr, kRunEmbed)) << GetLastMessage();
    EXPECT_TRUE(PagesUntouched());
    EXPECT_FALSE(fs::exists(dir / "site/tarvik"));
    EXPECT_NE(ReadWholeFile(dir / "moved/index.html").find("startQuorvane"), std::string::npos);
}

}  // namespace
