// Reader and analysis throughput over synthetic logs built in memory, per format: the cost per
// line of parsing alone, and of the whole record loop with visitors and transitions.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "log/CommonLogReader.h"
#include "log/IISLogReader.h"
#include "log/LogAnalyzer.h"
#include "log/LogFiles.h"
#include "log/MemoryLogStream.h"
#include "log/W3CLogReader.h"
#include "sitemap/SiteMap.h"

namespace {

enum Format { kCombined, kIis, kW3C };

// A log of `lines` hits: 3000 clients browsing 2000 pages, each page followed by a few images
// with the page as referer, one hit a second.
std::string MakeLog(Format format, int lines) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::mt19937 random(1);
    std::string log;
    if (format == kW3C) {
        log =
            "#Version: 1.0\n#Date: 2026-10-10 00:00:00\n#Fields: date time c-ip cs-method "
            "cs-uri-stem cs-uri-query sc-status sc-bytes cs(User-Agent) cs(Referer)\n";
    }
    const time_t start = 1791590400;  // 2026-10-10 UTC
    char line[512];
    std::string page = "/index.html";
    for (int i = 0; i < lines; ++i) {
        time_t t = start + i / 4;
        struct tm f;
        gmtime_r(&t, &f);
        int client = static_cast<int>(random() % 3000);
        std::string referer = "http://www.example.com" + page;
        std::string url;
        if (i % 4 == 0) {
            url = "/docs/page" + std::to_string(random() % 2000) + ".html";
            page = url;
        } else {
            url = "/img/i" + std::to_string(random() % 500) + ".gif";
        }
        int n = 0;
        switch (format) {
            case kCombined:
                n = std::snprintf(line, sizeof line,
                                  "24.%d.%d.7 - - [%02d/%s/%04d:%02d:%02d:%02d +0000] \"GET %s "
                                  "HTTP/1.1\" 200 %d \"%s\" \"Mozilla/5.0 (X11; Linux x86_64; "
                                  "rv:128.0) Gecko/20100101 Firefox/128.0\"\n",
                                  client / 256, client % 256, f.tm_mday, kMonths[f.tm_mon],
                                  f.tm_year + 1900, f.tm_hour, f.tm_min, f.tm_sec, url.c_str(),
                                  1000 + client, referer.c_str());
                break;
            case kIis:
                n = std::snprintf(line, sizeof line,
                                  "24.%d.%d.7, -, %d/%d/%02d, %d:%02d:%02d, W3SVC1, WWW1, "
                                  "10.0.0.1, 15, 300, %d, 200, 0, GET, %s, -, %s,\n",
                                  client / 256, client % 256, f.tm_mon + 1, f.tm_mday,
                                  f.tm_year % 100, f.tm_hour, f.tm_min, f.tm_sec, 1000 + client,
                                  url.c_str(), referer.c_str());
                break;
            case kW3C:
                n = std::snprintf(line, sizeof line,
                                  "%04d-%02d-%02d %02d:%02d:%02d 24.%d.%d.7 GET %s - 200 %d "
                                  "Mozilla/5.0+(X11) %s\n",
                                  f.tm_year + 1900, f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min,
                                  f.tm_sec, client / 256, client % 256, url.c_str(), 1000 + client,
                                  referer.c_str());
                break;
        }
        log.append(line, static_cast<std::size_t>(n));
    }
    return log;
}

const std::string& Log(Format format) {
    static std::string logs[3];
    if (logs[format].empty()) {
        setenv("TZ", "UTC", 1);
        tzset();
        logs[format] = MakeLog(format, 200000);
    }
    return logs[format];
}

std::unique_ptr<CLogReader> Reader(Format format, CLogStream& stream) {
    switch (format) {
        case kCombined:
            return std::make_unique<CCommonLogReader>(stream);
        case kIis:
            return std::make_unique<CIISLogReader>(stream, kIisDateAuto);
        default:
            return std::make_unique<CW3CLogReader>(stream);
    }
}

void BM_Parse(benchmark::State& state) {
    Format format = static_cast<Format>(state.range(0));
    const std::string& log = Log(format);
    int64_t records = 0;
    for (auto _ : state) {
        CMemoryLogStream stream(log);
        auto reader = Reader(format, stream);
        CLogRecord record;
        while (!stream.Eof()) {
            records += reader->ParseNextLine(record) ? 1 : 0;
        }
        benchmark::DoNotOptimize(record.Time);
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(log.size()) * state.iterations());
}

void BM_Analyze(benchmark::State& state) {
    Format format = static_cast<Format>(state.range(0));
    const std::string& log = Log(format);
    int64_t hits = 0;
    for (auto _ : state) {
        CSiteMap map("index.html");
        map.SetDecay(kLogDecayPeriod, DecayFactorOf(1));
        CLogAnalyzer analyzer(map, "www.example.com", 0, kLatestLogTime - 1, nullptr);
        CMemoryLogStream stream(log);
        auto reader = Reader(format, stream);
        analyzer.SetFileSize(static_cast<int64_t>(log.size()));
        hits += analyzer.ProcessRecords(*reader).hits;
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(hits), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(log.size()) * state.iterations());
}

}  // namespace

BENCHMARK(BM_Parse)->ArgName("format")->Arg(kCombined)->Arg(kIis)->Arg(kW3C)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Analyze)
    ->ArgName("format")
    ->Arg(kCombined)
    ->Arg(kIis)
    ->Arg(kW3C)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
