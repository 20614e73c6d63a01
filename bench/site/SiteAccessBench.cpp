// What the sizing pass costs through the site access: GetFileSize on 10,000 local files, and
// 1,000 reads (and sizes) over HTTP from a local nginx, and over FTP from a local FTP server.
// The servers are the test fixtures' real nginx and pyftpdlib on loopback.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "SiteGenerator.h"
#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "site/LocalSiteAccess.h"
#include "support/FtpServer.h"
#include "support/NginxServer.h"
#include "support/TempDir.h"

namespace {

constexpr int kLocalFiles = 10000;
constexpr int kRemoteFiles = 1000;

std::vector<std::string> PageNames(int count) {
    std::vector<std::string> names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        names.push_back(GeneratedPageName(i));
    }
    return names;
}

void BM_LocalGetFileSize(benchmark::State& state) {
    CTempDir dir("site-bench");
    std::string error;
    SiteGeneratorStats stats;
    if (!GenerateSite(dir.Path(), kLocalFiles, 1, &stats, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<std::string> names = PageNames(kLocalFiles);
    CLocalSiteAccess access(dir.Path());
    int64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& name : names) {
            bytes += access.GetFileSize(name);
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kLocalFiles);
    state.counters["files"] = kLocalFiles;
    state.counters["site_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LocalGetFileSize)->Unit(benchmark::kMillisecond)->UseRealTime();

// The port of one nginx serving a generated site, shared by the HTTP benchmarks; 0 (and the
// benchmark marked failed) when it cannot start.
uint16_t NginxPort(benchmark::State& state) {
    static std::unique_ptr<CNginxServer> nginx;
    static std::string startError;
    if (nginx == nullptr) {
        nginx = std::make_unique<CNginxServer>();
        SiteGeneratorStats stats;
        if (!GenerateSite(nginx->DocRoot(), kRemoteFiles, 1, &stats, &startError) ||
            !CNginxServer::MakeServerReadable(nginx->DocRoot())) {
            startError = "cannot generate the site: " + startError;
        } else if (auto started = nginx->Start(); !started) {
            startError = started.message();
        }
    }
    if (!startError.empty()) {
        state.SkipWithError(startError.c_str());
        return 0;
    }
    return nginx->Port();
}

// 1,000 pages read through one access object (its connection kept open between reads).
void BM_HttpReadFile(benchmark::State& state) {
    const uint16_t port = NginxPort(state);
    if (port == 0) {
        return;
    }
    const std::vector<std::string> names = PageNames(kRemoteFiles);
    CHttpSiteAccess access("127.0.0.1", port);
    int64_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& name : names) {
            CTextBuffer buffer;
            if (!access.ReadFile(name, buffer)) {
                state.SkipWithError(access.LastError().c_str());
                return;
            }
            bytes += buffer.Length();
        }
    }
    state.SetItemsProcessed(state.iterations() * kRemoteFiles);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["files"] = kRemoteFiles;
}
BENCHMARK(BM_HttpReadFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same 1,000 reads, a new access object (and so a new connection) for each.
void BM_HttpReadFileNewConnection(benchmark::State& state) {
    const uint16_t port = NginxPort(state);
    if (port == 0) {
        return;
    }
    const std::vector<std::string> names = PageNames(kRemoteFiles);
    for (auto _ : state) {
        for (const auto& name : names) {
            CHttpSiteAccess access("127.0.0.1", port);
            CTextBuffer buffer;
            if (!access.ReadFile(name, buffer)) {
                state.SkipWithError(access.LastError().c_str());
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kRemoteFiles);
}
BENCHMARK(BM_HttpReadFileNewConnection)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sizing pass of a dynamic site: 1,000 GetFileSize, each a whole download.
void BM_HttpGetFileSize(benchmark::State& state) {
    const uint16_t port = NginxPort(state);
    if (port == 0) {
        return;
    }
    const std::vector<std::string> names = PageNames(kRemoteFiles);
    CHttpSiteAccess access("127.0.0.1", port);
    for (auto _ : state) {
        int64_t bytes = 0;
        for (const auto& name : names) {
            bytes += access.GetFileSize(name);
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kRemoteFiles);
}
BENCHMARK(BM_HttpGetFileSize)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sizing pass of an FTP site: 1,000 GetFileSize over one control connection.
void BM_FtpGetFileSize(benchmark::State& state) {
    CFtpServer server;
    std::string error;
    SiteGeneratorStats stats;
    if (!GenerateSite(server.Root(), kRemoteFiles, 1, &stats, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    if (auto started = server.Start(); !started) {
        state.SkipWithError(started.message());
        return;
    }
    const std::vector<std::string> names = PageNames(kRemoteFiles);
    CFtpSiteAccess access(server.Address(), 0, server.User(), server.Password());
    for (auto _ : state) {
        int64_t bytes = 0;
        for (const auto& name : names) {
            bytes += access.GetFileSize(name);
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kRemoteFiles);
}
BENCHMARK(BM_FtpGetFileSize)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
