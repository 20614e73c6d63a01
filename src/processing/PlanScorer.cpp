#include "processing/PlanScorer.h"

#include <algorithm>
#include <unordered_set>

#include "processing/ReplayCounts.h"
#include "sitemap/SitePage.h"

namespace {

double Ratio(int64_t a, int64_t b) {
    return b > 0 ? static_cast<double>(a) / static_cast<double>(b) : 0.0;
}

}  // namespace

void PlanScore::Add(const PlanScore& other) {
    views += other.views;
    transitions += other.transitions;
    hits += other.hits;
    filesNeeded += other.filesNeeded;
    filesListed += other.filesListed;
    bytesPrefetched += other.bytesPrefetched;
    bytesUsed += other.bytesUsed;
}

double PlanScore::Coverage() const {
    return Ratio(hits, transitions);
}
double PlanScore::FileCoverage() const {
    return Ratio(filesListed, filesNeeded);
}
double PlanScore::BytesPerView() const {
    return Ratio(bytesPrefetched, views);
}
double PlanScore::Precision() const {
    return Ratio(bytesUsed, bytesPrefetched);
}
double PlanScore::SavedSeconds() const {
    return static_cast<double>(bytesUsed) / kEvaluationBytesPerSecond;
}
double PlanScore::SavedPerClick() const {
    return transitions > 0 ? SavedSeconds() / static_cast<double>(transitions) : 0.0;
}

const std::vector<CSiteFile*>& CPlanScorer::FilesOf(CSitePage* page) {
    auto [it, added] = m_files.try_emplace(page);
    if (added) {
        std::vector<CSitePage*> pages;
        page->CollectWithFrames(pages);
        std::unordered_set<const CSiteFile*> seen;
        for (CSitePage* p : pages) {
            if (seen.insert(p).second) {
                it->second.push_back(p);
            }
            for (CSiteFile* image : p->Images) {
                if (seen.insert(image).second) {
                    it->second.push_back(image);
                }
            }
        }
    }
    return it->second;
}

PlanScore CPlanScorer::ScorePage(const SitePlan& plan, const CSitePage* page) {
    PlanScore score;
    const CReplayCounts::PageCounts* counts = m_counts.Find(page);
    if (counts == nullptr) {
        return score;
    }
    score.views = counts->views;
    score.transitions = counts->transitions;
    auto listed = plan.find(page);
    const PrefetchList* list = listed == plan.end() ? nullptr : &listed->second;
    if (list != nullptr) {
        int64_t bytes = 0;
        for (const PrefetchEntry& entry : *list) {
            if (!entry.IsPageMarker) {
                bytes += entry.File->SizeOrZero();
            }
        }
        score.bytesPrefetched = bytes * counts->views;
    }
    for (const auto& [target, count] : counts->next) {
        CSitePage* next = target;
        const int64_t n = count;
        const std::vector<CSiteFile*>& files = FilesOf(next);
        score.filesNeeded += n * static_cast<int64_t>(files.size());
        if (list == nullptr) {
            continue;
        }
        const bool hit = std::any_of(list->begin(), list->end(), [&](const PrefetchEntry& e) {
            return e.IsPageMarker && e.File == next;
        });
        score.hits += hit ? n : 0;
        for (CSiteFile* file : files) {
            if (list->HoldsFile(file)) {
                score.filesListed += n;
                score.bytesUsed += n * file->SizeOrZero();
            }
        }
    }
    return score;
}

PlanScore CPlanScorer::ScoreSite(const SitePlan& plan) {
    PlanScore total;
    for (const auto& [page, counts] : m_counts.Pages()) {
        total.Add(ScorePage(plan, page));
    }
    return total;
}
