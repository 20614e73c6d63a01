// The replay of plan evaluation against the log phase, on the same 1,000,000-line log of a
// generated 10,000-page site (both from the shared generators; made once in a scratch
// directory). Each iteration of the log phase learns the whole log afresh into the crawled graph;
// each iteration of the replay replays it against the plan of the learnt graph. The goal: the
// replay takes at most the log phase's own processor time; the ratio is printed at the end and
// the program exits with 1 when the replay is slower. Processor time, not wall time, so that
// other work on the machine does not decide the outcome.
//
// Environment: GENLOG (the log generator, default ../shared/bench/genlog.py beside the
// repository), WORK (scratch directory, default $TMPDIR or /tmp, plus tarvik-evaluate-bench).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "SiteGenerator.h"
#include "agent/AgentSettings.h"
#include "log/LogAnalyzer.h"
#include "log/LogReader.h"
#include "processing/AgentRunTask.h"
#include "processing/ReplayCounts.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "sitemap/SiteMapAnalyzer.h"
#include "synthesis/SiteSynthesizer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPages = 10000;
constexpr int kLines = 1000000;
const char* const kDomain = "www.example.com";

std::string g_log;
std::unique_ptr<CSiteMap> g_map;
double g_learnCpu = 0.0;
double g_replayCpu = 0.0;

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string Env(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// The generated site and log, made when missing; false (with the reason printed) when they
// cannot be had.
bool Prepare() {
    const std::string genlog =
        Env("GENLOG", std::string(TARVIK_SOURCE_DIR) + "/../shared/bench/genlog.py");
    const fs::path work = fs::path(Env("WORK", Env("TMPDIR", "/tmp"))) / "tarvik-evaluate-bench";
    std::error_code error;
    fs::create_directories(work, error);
    const fs::path site = work / ("site-" + std::to_string(kPages));
    g_log = (work / ("access-" + std::to_string(kPages) + "-" + std::to_string(kLines) + ".log"));
    if (!fs::exists(site)) {
        std::string message;
        if (!GenerateSite(site.string() + ".tmp", kPages, 1, nullptr, &message)) {
            std::fprintf(stderr, "evaluate_bench: %s\n", message.c_str());
            return false;
        }
        fs::rename(site.string() + ".tmp", site);
    }
    if (!fs::exists(g_log)) {
        if (!fs::exists(genlog)) {
            std::fprintf(stderr, "evaluate_bench: no log generator at %s (set GENLOG)\n",
                         genlog.c_str());
            return false;
        }
        const std::string command = "python3 '" + genlog + "' --lines " + std::to_string(kLines) +
                                    " --pages " + std::to_string(kPages) + " --seed 1 > '" + g_log +
                                    ".tmp' && mv '" + g_log + ".tmp' '" + g_log + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "evaluate_bench: %s failed\n", command.c_str());
            return false;
        }
    }
    g_map = std::make_unique<CSiteMap>("index.html");
    g_map->SetAccess(std::make_unique<CLocalSiteAccess>(site.string()));
    return RunSiteMapAnalysis(*g_map, kDomain, nullptr);
}

bool Learn(CSiteMap& map) {
    map.ResetStatistics();
    CAgentSettings agent;
    agent.DomainName = kDomain;
    LogParams all;
    all.RangeEnd = kLatestLogTime;
    return LearnFromLogs(map, agent, all, nullptr, &g_log, nullptr);
}

void BM_LogPhase(benchmark::State& state) {
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        g_map->ResetStatistics();
        state.ResumeTiming();
        const double start = CpuSeconds();
        if (!Learn(*g_map)) {
            state.SkipWithError("the log phase failed");
            return;
        }
        cpu += CpuSeconds() - start;
    }
    g_learnCpu = cpu / static_cast<double>(state.iterations());
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(kLines) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}

void BM_Replay(benchmark::State& state) {
    if (!Learn(*g_map)) {
        state.SkipWithError("the log phase failed");
        return;
    }
    PreparePlanning(*g_map);
    CachingParams params;
    params.Extensions = "htmlhtmgifjpg";
    CSiteSynthesizer synthesizer(std::string(), "tarvik", params, false, nullptr);
    synthesizer.ConcludeCachingInstructions(*g_map);
    double cpu = 0.0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        CReplayCounts counts;
        CLogAnalyzer replay(*g_map, kDomain, 0, kLatestLogTime, nullptr);
        replay.SetReplay(&counts, true);
        std::string lastFile;
        int32_t lastNumber = -1;
        int64_t position = -1;
        if (!replay.AnalyzeLogFiles(g_log, kLogAutoDetect, lastFile, lastNumber, position)) {
            state.SkipWithError("the replay failed");
            return;
        }
        benchmark::DoNotOptimize(counts.Transitions());
        cpu += CpuSeconds() - start;
    }
    g_replayCpu = cpu / static_cast<double>(state.iterations());
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(kLines) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LogPhase)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_Replay)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!Prepare()) {
        std::printf("evaluate_bench: skipped\n");
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_learnCpu <= 0.0 || g_replayCpu <= 0.0) {
        return 0;  // a filtered run: nothing to compare
    }
    const double ratio = g_replayCpu / g_learnCpu;
    std::printf(
        "processor time per pass: log phase %.2f s, replay %.2f s: %.2fx (goal: at most "
        "1.00x)\n",
        g_learnCpu, g_replayCpu, ratio);
    return ratio <= 1.0 ? 0 : 1;
}
