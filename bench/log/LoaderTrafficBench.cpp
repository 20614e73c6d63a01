// The log phase over traffic of a site that carries the loader (each view: the page, its fetch
// file, the names on the list), against a log of the same length without it (each view: the
// page and its images) read as ever. Goal: lines per second with the loader within 10 % of those
// without.
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

// Arg 0: the plain log, read as ever. Arg 1: the loader's log, the loader known. Arg 2: the
// loader's log read as ever (as if the loader were not known).
void BM_LoaderTraffic(benchmark::State& state) {
    const bool loader = state.range(0) == 1;
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
        CMemoryLogStream stream(log);
        CCommonLogReader reader(stream);
        analyzer.SetFileSize(static_cast<int64_t>(log.size()));
        hits += analyzer.ProcessRecords(reader).hits;
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(hits), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_LoaderTraffic)
    ->ArgName("loader")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
