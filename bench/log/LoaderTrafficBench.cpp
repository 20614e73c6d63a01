// The log phase over traffic of a site that carries the loader (each view: the page, its fetch
// file, the names on the list), against a log of the same length without it (each view: the
// page and its images) read as ever; each as the log phase learns it and as plan evaluation
// replays it. Goal: lines per second with the loader within 10 % of those without, learning and
// replaying alike. Run with --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
// on a loaded machine, and compare the medians.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "log/CommonLogReader.h"
#include "log/LoaderTraffic.h"
#include "log/LogAnalyzer.h"
#include "log/LogFiles.h"
#include "log/MemoryLogStream.h"
#include "processing/ReplayCounts.h"
#include "sitemap/SiteMap.h"

namespace {

constexpr int kPages = 2000;
constexpr int kLines = 200000;

std::string PageName(int p) {
    return "/docs/page" + std::to_string(p % kPages) + ".html";
}
std::string ImageName(int p) {
    return "/img/i" + std::to_string(p % 500) + ".gif";
}
std::string FetchName(int p) {
    return "/tarvik/fetch" + std::to_string(p) + "x0.qvf";
}

// The list of page p: two pages and an image.
std::vector<std::string> ListOf(int p) {
    return {PageName(p + 1), ImageName(p), PageName(p + 7)};
}

// Views of 3000 clients, five lines each, one line a quarter second.
std::string MakeLog(bool loader) {
    std::mt19937 random(1);
    std::string log;
    char line[512];
    const time_t start = 1791590400;  // 2026-10-10 UTC
    for (int i = 0; i < kLines;) {
        int client = static_cast<int>(random() % 3000);
        int page = static_cast<int>(random() % kPages);
        std::vector<std::string> urls = {PageName(page)};
        if (loader) {
            urls.push_back(FetchName(page));
            for (const std::string& name : ListOf(page)) {
                urls.push_back(name);
            }
        } else {
            for (int k = 0; k < 4; ++k) {
                urls.push_back(ImageName(page + k));
            }
        }
        for (std::size_t k = 0; k < urls.size() && i < kLines; ++k, ++i) {
            time_t t = start + i / 4;
            struct tm f;
            gmtime_r(&t, &f);
            std::string referer = k == 0 ? "-" : "http://www.example.com" + PageName(page);
            int n =
                std::snprintf(line, sizeof line,
                              "24.%d.%d.7 - - [%02d/Oct/%04d:%02d:%02d:%02d +0000] \"GET %s "
                              "HTTP/1.1\" 200 %d \"%s\" \"Mozilla/5.0 (X11; Linux x86_64; "
                              "rv:128.0) Gecko/20100101 Firefox/128.0\"\n",
                              client / 256, client % 256, f.tm_mday, f.tm_year + 1900, f.tm_hour,
                              f.tm_min, f.tm_sec, urls[k].c_str(), 1000 + client, referer.c_str());
            log.append(line, static_cast<std::size_t>(n));
        }
    }
    return log;
}

// loader 0: the plain log, read as ever. 1: the loader's log, the loader known. 2: the loader's
// log read as ever (as if the loader were not known). replay 1: replayed to a listener.
void BM_LoaderTraffic(benchmark::State& state) {
    const bool loader = state.range(0) == 1;
    const bool replay = state.range(1) == 1;
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string log = MakeLog(state.range(0) != 0);
    CLoaderDirectory directory("/tarvik");
    for (int p = 0; p < kPages; ++p) {
        directory.AddFetchFile(FetchName(p), PageName(p), ListOf(p));
    }
    int64_t hits = 0;
    for (auto _ : state) {
        CSiteMap map("index.html");
        map.SetDecay(kLogDecayPeriod, DecayFactorOf(1));
        CLogAnalyzer analyzer(map, "www.example.com", 0, kLatestLogTime - 1, nullptr);
        if (loader) {
            analyzer.SetLoader(&directory, 120);
        }
        CReplayCounts counts;
        if (replay) {
            analyzer.SetReplay(&counts, true);
        }
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        analyzer.SetFileSize(static_cast<int64_t>(log.size()));
        hits += analyzer.ProcessRecords(reader).hits;
        state.counters["visits"] = static_cast<double>(analyzer.VisitHits());
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(hits), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_LoaderTraffic)
    ->ArgNames({"loader", "replay"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
