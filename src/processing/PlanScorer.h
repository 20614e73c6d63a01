// Scores prefetch plans against a log replay: for each transition A -> B whether B was in A's
// list (a hit) and how many of B's files were, and the bytes each view of A fetched and the
// visitor then used. One thread; borrows the replay's counts, whose pages it reads.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "synthesis/PrefetchList.h"

class CReplayCounts;
class CSiteFile;
class CSitePage;

// One plan: the prefetch list of each page that has one.
using SitePlan = std::unordered_map<const CSitePage*, PrefetchList>;

// The figures of one plan over one replay (or over one page of it).
struct PlanScore {
    int64_t views = 0;
    int64_t transitions = 0;
    int64_t hits = 0;  // transitions whose next page was in the list
    int64_t filesNeeded =
        0;  // over all transitions: the next page's files (itself, frames, images)
    int64_t filesListed = 0;  // of those, the ones the list held
    int64_t bytesPrefetched = 0;
    int64_t bytesUsed = 0;  // prefetched bytes of the next page's files

    void Add(const PlanScore& other);
    double Coverage() const;       // hits / transitions
    double FileCoverage() const;   // filesListed / filesNeeded
    double BytesPerView() const;   // bytesPrefetched / views
    double Precision() const;      // bytesUsed / bytesPrefetched
    double SavedSeconds() const;   // the load time of the used bytes
    double SavedPerClick() const;  // SavedSeconds / transitions
};

class CPlanScorer {
  public:
    explicit CPlanScorer(const CReplayCounts& counts) : m_counts(counts) {}

    // The figures of plan for page's views and the transitions counted for page.
    PlanScore ScorePage(const SitePlan& plan, const CSitePage* page);
    // The sum over every page of the replay.
    PlanScore ScoreSite(const SitePlan& plan);

    // What the next page needs: the page, its frames at any depth and their images, each once.
    const std::vector<CSiteFile*>& FilesOf(CSitePage* page);

  private:
    const CReplayCounts& m_counts;
    std::unordered_map<const CSitePage*, std::vector<CSiteFile*>> m_files;
};

// The transfer rate of the load-time model, in bytes per second.
constexpr double kEvaluationBytesPerSecond = 3500.0;
