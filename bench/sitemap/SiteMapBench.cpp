// Crawl and statistics-file figures for synthetic sites of 10,000 and 100,000 pages (about ten
// links and three images a page, every 50th page a frame set), and the check that the time per
// page stays flat: at 100,000 pages it may be at most 1.5 times what it is at 10,000. The sites
// are written to a temporary directory that is removed at the end. Exit status 1 when a check
// fails.
//
// The machine is shared, so every benchmark runs several times and the check takes the fastest
// run of each size (other work only ever adds time). It compares processor time (user and
// system), which is what the code's own growth shows; wall time, which adds waiting for the disk
// (Save syncs the file), is printed beside it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "SiteGenerator.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "sitemap/SiteMapAnalyzer.h"

namespace {

namespace fs = std::filesystem;

constexpr double kFlatnessLimit = 1.5;
constexpr int kRepetitions = 5;
const int kSizes[] = {10000, 100000};

fs::path g_workDir;
std::map<int, std::string> g_sites;

// The site of the given size, generated on first use.
const std::string& Site(int pages) {
    auto it = g_sites.find(pages);
    if (it != g_sites.end()) {
        return it->second;
    }
    std::string root = (g_workDir / ("site-" + std::to_string(pages))).string();
    std::string error;
    if (!GenerateSite(root, pages, 1, nullptr, &error)) {
        std::fprintf(stderr, "sitemap_bench: %s\n", error.c_str());
        std::exit(1);
    }
    return g_sites.emplace(pages, root).first->second;
}

std::unique_ptr<CSiteMap> Crawl(const std::string& root) {
    auto map = std::make_unique<CSiteMap>("index.html");
    map->SetAccess(std::make_unique<CLocalSiteAccess>(root));
    if (!RunSiteMapAnalysis(*map, "www.example.com", nullptr)) {
        return nullptr;
    }
    return map;
}

void BM_Crawl(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const std::string& root = Site(pages);
    int found = 0;
    for (auto _ : state) {
        auto map = Crawl(root);
        if (!map) {
            state.SkipWithError("crawl failed");
            return;
        }
        found = map->PageCount();
        benchmark::DoNotOptimize(found);
    }
    if (found != pages) {
        state.SkipWithError("the crawl missed pages");
        return;
    }
    state.counters["pages"] = pages;
    state.counters["per_page"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Save and load again a crawled graph with learnt weights on its links.
void BM_SaveLoad(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    auto map = Crawl(Site(pages));
    if (!map) {
        state.SkipWithError("crawl failed");
        return;
    }
    int n = 0;
    for (const auto& page : map->Pages()) {
        for (const auto& link : page->Links) {
            link->Weight = (n++ % 7) * 0.5;
        }
        page->AddTimingSample(30, 4);
    }
    const std::string file = (g_workDir / ("graph-" + std::to_string(pages) + ".qvs")).string();
    for (auto _ : state) {
        if (!map->Save(file)) {
            state.SkipWithError("save failed");
            return;
        }
        CSiteMap back("index.html");
        if (!back.Load(file) || back.PageCount() != pages) {
            state.SkipWithError("load failed");
            return;
        }
    }
    state.counters["pages"] = pages;
    state.counters["bytes"] = static_cast<double>(fs::file_size(file));
    state.counters["per_page"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Crawl)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions);
BENCHMARK(BM_SaveLoad)
    ->Arg(kSizes[0])
    ->Arg(kSizes[1])
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions);

// Shows the usual table and keeps the fastest time per page of every benchmark and size.
class CFlatnessReporter : public benchmark::ConsoleReporter {
  public:
    struct PerPage {
        double cpu = 0;   // seconds
        double wall = 0;  // seconds
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                failed = true;
                continue;
            }
            auto pages = run.counters.find("pages");
            if (run.run_type != Run::RT_Iteration || pages == run.counters.end() ||
                run.iterations <= 0) {
                continue;
            }
            const double n = pages->second.value * static_cast<double>(run.iterations);
            PerPage now{run.cpu_accumulated_time / n, run.real_accumulated_time / n};
            PerPage& best = fastest[run.run_name.function_name][static_cast<int>(pages->second)];
            if (best.cpu == 0 || now.cpu < best.cpu)
                best.cpu = now.cpu;
            if (best.wall == 0 || now.wall < best.wall)
                best.wall = now.wall;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::map<int, PerPage>> fastest;
    bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/tarvik-sitemap-bench-XXXXXX";
    const char* tmp = mkdtemp(pattern);
    if (tmp == nullptr) {
        std::perror("sitemap_bench: mkdtemp");
        return 1;
    }
    g_workDir = tmp;
    benchmark::Initialize(&argc, argv);
    CFlatnessReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(g_workDir, ec);

    bool ok = !reporter.failed;
    std::printf("\nTime per page, fastest of %d runs (processor time; wall time in brackets):\n",
                kRepetitions);
    for (const auto& [name, bySize] : reporter.fastest) {
        auto small = bySize.find(kSizes[0]);
        auto large = bySize.find(kSizes[1]);
        if (small == bySize.end() || large == bySize.end() || small->second.cpu <= 0) {
            continue;  // filtered out on the command line
        }
        const double ratio = large->second.cpu / small->second.cpu;
        const bool flat = ratio <= kFlatnessLimit;
        std::printf(
            "%-12s %6d pages: %6.2f us (%6.2f us)   %6d pages: %6.2f us (%6.2f us)   "
            "%.2fx (limit %.1fx) %s\n",
            name.c_str(), kSizes[0], small->second.cpu * 1e6, small->second.wall * 1e6, kSizes[1],
            large->second.cpu * 1e6, large->second.wall * 1e6, ratio, kFlatnessLimit,
            flat ? "flat" : "NOT FLAT");
        ok = ok && flat;
    }
    return ok ? 0 : 1;
}
