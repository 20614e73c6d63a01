// Feeds arbitrary bytes to the statistics-file reader. Besides not crashing, hanging or
// allocating without bound, checks that a graph it accepts is whole (every reference points into
// its own lists) and survives what the program does with a loaded graph.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "sitemap/SiteMap.h"

namespace {

void CheckWhole(const CSiteMap& map) {
    std::unordered_set<const CSiteFile*> pages;
    std::unordered_set<const CSiteFile*> files;
    for (const auto& p : map.Pages())
        pages.insert(p.get());
    for (const auto& f : map.Files())
        files.insert(f.get());
    for (const auto& page : map.Pages()) {
        if (page->Name.size() > 4095)
            std::abort();
        for (const auto& link : page->Links) {
            if (pages.count(link->Target) == 0)
                std::abort();
            if (page->FindLink(link->Target) == nullptr)
                std::abort();
        }
        for (const CSitePage* frame : page->Frames) {
            if (pages.count(frame) == 0)
                std::abort();
        }
        for (const CSitePage* forced : page->ForcedPrefetchPages) {
            if (pages.count(forced) == 0)
                std::abort();
        }
        for (const CSiteFile* image : page->Images) {
            if (files.count(image) == 0)
                std::abort();
        }
        if (map.FindPage(page->Name) == nullptr)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CSiteMap map("index.html");
    map.AddPage("/before.html");
    bool otherFormat = false;
    if (!map.LoadFromMemory(data, size, &otherFormat)) {
        // A refused file leaves the graph as it was.
        if (map.PageCount() != 1 || map.FindPage("/before.html") == nullptr)
            std::abort();
        return 0;
    }
    if (otherFormat && (map.PageCount() != 0 || map.FileCount() != 0))
        std::abort();
    CheckWhole(map);

    // What a run does with a kept graph: hits and transitions, timing, sorting, purging.
    CSitePage* current = nullptr;
    for (int i = 0; i < map.PageCount() && i < 64; ++i) {
        CSitePage* page = map.PageAt(i);
        map.RecordHit(i % 3 == 0 ? nullptr : map.PageAt(i / 2), current, page);
        page->AddTimingSample(page->ViewTimeSum, page->LoadTimeSum);
        page->AverageIdleTime();
        page->TotalSize();
        page->WeightSum();
        std::vector<CSitePage*> list;
        page->CollectWithFrames(list);
    }
    map.SortAllLinks();
    map.ForgetStaticStructure();
    CheckWhole(map);
    map.ResetStatistics();
    CheckWhole(map);
    return 0;
}
