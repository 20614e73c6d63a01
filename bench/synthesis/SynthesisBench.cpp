// Planning and synthesis, with the page edits, of generated static sites on local disk: 10,000
// and 50,000 pages. The time per page must stay flat: the larger site may take at most 1.5 times
// as long per page as the smaller one (the program exits with 1 otherwise). Every file is
// replaced atomically and synced, so on disk the syncs dominate; the same runs on a memory file
// system (/dev/shm, when there is one) show the program's own work, and are held to the same
// limit.
//
// The page graph is read from the generated pages by a small extractor that knows the
// generator's exact markup (links, frames and images); sizes are asked before the timed part, as
// the processing run's sizing pass does. The timed part is ConcludeCachingInstructions and
// Synthesize: every page's fetch file, its edit (read, block, call, atomic replace), index.qvf,
// the applet files and quorvane.properties.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "SiteGenerator.h"
#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "synthesis/SiteSynthesizer.h"

namespace fs = std::filesystem;

namespace {

// Seconds per page by (memory file system, pages).
std::map<std::pair<bool, int>, double> g_secondsPerPage;

// The values of attribute="..." that follow each occurrence of prefix in html.
template <typename Fn>
void ForEachValue(std::string_view html, std::string_view prefix, Fn fn) {
    for (std::size_t at = html.find(prefix); at != std::string_view::npos;
         at = html.find(prefix, at + 1)) {
        std::size_t start = at + prefix.size();
        std::size_t end = html.find('"', start);
        if (end == std::string_view::npos) {
            return;
        }
        fn(html.substr(start, end - start));
    }
}

bool BuildGraph(CSiteMap& map, const fs::path& root, int pages) {
    CSiteAccess* access = map.GetAccess();
    for (int i = 0; i < pages; ++i) {
        const std::string name = GeneratedPageName(i);
        CSitePage* page = map.AddPage(name);
        CTextBuffer html;
        if (!access->ReadFile(name, html)) {
            std::fprintf(stderr, "cannot read %s\n", (root / name.substr(1)).c_str());
            return false;
        }
        ForEachValue(html.View(), "<a href=\"", [&](std::string_view link) {
            CPageLink* l = page->GetOrAddLink(map.AddPage(ResolveLink("", name, link)));
            l->IsStatic = true;
        });
        ForEachValue(html.View(), "<frame src=\"", [&](std::string_view link) {
            page->Frames.push_back(map.AddPage(ResolveLink("", name, link)));
        });
        ForEachValue(html.View(), "<img src=\"", [&](std::string_view link) {
            map.AddImageToPage(page, map.AddFile(ResolveLink("", name, link)));
        });
    }
    for (const auto& page : map.Pages()) {
        map.GetPageSize(page.get());
    }
    for (const auto& file : map.Files()) {
        map.GetPageSize(file.get());
    }
    return true;
}

void BM_PlanAndSynthesize(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const bool inMemory = state.range(1) != 0;
    const fs::path parent = inMemory ? fs::path("/dev/shm") : fs::temp_directory_path();
    if (inMemory && !fs::is_directory(parent)) {
        state.SkipWithError("no memory file system at /dev/shm");
        return;
    }
    std::string pattern = (parent / "tarvik-synth-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("cannot create a temporary directory");
        return;
    }
    const fs::path base = pattern;
    const fs::path root = base / "site";
    const fs::path work = base / "work";
    fs::create_directories(work);
    for (const char* name :
         {"qvan.zip", "qvan.cab", "qvan.jar", "quorvane.class", "a.class", "b.class"}) {
        std::error_code copied;
        fs::copy_file(fs::path(TARVIK_RUNTIME_BUILD_DIR) / name, work / name, copied);
        if (copied) {
            state.SkipWithError("the runtime files are not built");
            fs::remove_all(base);
            return;
        }
    }
    std::string error;
    SiteGeneratorStats stats;
    if (!GenerateSite(root.string(), pages, 1, &stats, &error)) {
        state.SkipWithError(error.c_str());
        fs::remove_all(base);
        return;
    }

    CachingParams params;
    params.Extensions =
        "html\r\nhtm\r\nbmp\r\neps\r\ngif\r\njpeg\r\njpg\r\npcx\r\ntif\r\ntiff\r\n"
        "avi\r\nmov\r\nmpeg\r\nmpg\r\nqt\r\nqtm\r\nmid\r\nmidi\r\nwav\r\n";
    params.PageLimit = 2;
    params.ByteLimit = 4096LL * 1024;

    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        CSiteMap map("index.html");
        map.SetAccess(std::make_unique<CLocalSiteAccess>(root.string()));
        bool built = BuildGraph(map, root, pages);
        state.ResumeTiming();
        if (!built) {
            state.SkipWithError("cannot read the generated site");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        CSiteSynthesizer synth(work.string(), "tarvik", params, false, nullptr);
        map.SortAllLinks();
        synth.ConcludeCachingInstructions(map);
        if (!synth.Synthesize(map)) {
            state.SkipWithError(GetLastMessage().c_str());
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perPage = seconds / static_cast<double>(state.iterations()) / pages;
    g_secondsPerPage[{inMemory, pages}] = perPage;
    state.counters["pages"] = pages;
    state.counters["us_per_page"] = perPage * 1e6;
    state.counters["site_MB"] = static_cast<double>(stats.bytes) / 1e6;
    std::error_code ec;
    fs::remove_all(base, ec);
}

BENCHMARK(BM_PlanAndSynthesize)
    ->ArgNames({"pages", "memory"})
    ->Args({10000, 0})
    ->Args({50000, 0})
    ->Args({10000, 1})
    ->Args({50000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    int status = 0;
    for (bool inMemory : {false, true}) {
        auto small = g_secondsPerPage.find({inMemory, 10000});
        auto large = g_secondsPerPage.find({inMemory, 50000});
        if (small == g_secondsPerPage.end() || large == g_secondsPerPage.end() ||
            small->second <= 0.0) {
            continue;  // a filtered run: nothing to compare
        }
        const double ratio = large->second / small->second;
        std::printf("%s: time per page, 50,000 against 10,000 pages: %.2fx (limit 1.5x)\n",
                    inMemory ? "memory file system" : "local disk", ratio);
        if (ratio > 1.5) {
            status = 1;
        }
    }
    return status;
}
