#include "processing/Estimates.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "sitemap/SiteMap.h"

namespace {

// The page's links in the order the estimate considers them: with the forced order on, first
// the links to the forced pages in forced order (a forced page without a link is skipped), then
// the rest in link order; otherwise link order. *forcedLinks tells how many of the first links
// are those of forced pages (0 with the forced order off): the links the estimate counts as
// prefetched in forced order.
std::vector<CPageLink*> CandidateOrder(CSitePage& page, std::size_t* forcedLinks) {
    std::vector<CPageLink*> order;
    order.reserve(page.Links.size());
    if (page.ForcePrefetchOrder) {
        for (CSitePage* forced : page.ForcedPrefetchPages) {
            if (CPageLink* link = page.FindLink(forced)) {
                if (std::find(order.begin(), order.end(), link) == order.end()) {
                    order.push_back(link);
                }
            }
        }
        *forcedLinks = order.size();
        for (const auto& link : page.Links) {
            if (std::find(order.begin(), order.end(), link.get()) == order.end()) {
                order.push_back(link.get());
            }
        }
        return order;
    }
    *forcedLinks = 0;
    for (const auto& link : page.Links) {
        order.push_back(link.get());
    }
    return order;
}

// The next-click estimate of one page.
NextClickEstimate EstimateNextClick(CSitePage& page) {
    NextClickEstimate e;
    const int idle = page.AverageIdleTime();
    const double n = idle > 1 ? idle : 1;
    e.base = 0.2 + 0.8 * (1.0 - 1.0 / n);

    // Only the forced pages that are links of the page are prefetched in forced order: a forced
    // page without a link must not make the next link in order count as prefetched.
    std::size_t forcedCount = 0;
    const std::vector<CPageLink*> candidates = CandidateOrder(page, &forcedCount);
    long long elapsed = 0;
    double w0sum = 0.0;
    double w1sum = 0.0;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        CPageLink* link = candidates[k];
        if (!link->IsStatic) {
            continue;
        }
        e.p += link->Weight;
        const int t = link->Target->AverageLoadTime();
        const bool prefetched = page.ForcePrefetchOrder ? k < forcedCount : link->IsPrefetched;
        double benefit = 0.0;
        if (prefetched) {
            // Whole seconds on purpose: half a load time rounds down, as the figures always have.
            // NOLINTNEXTLINE(bugprone-integer-division)
            benefit = std::pow(e.base, static_cast<double>(t / 2 + elapsed));
        }
        w0sum += link->Weight * t;
        w1sum += (1.0 - benefit) * link->Weight * t;
        elapsed += t;
    }
    const double d = e.p > 1.0 ? e.p : 1.0;
    e.w0 = w0sum / d;
    e.w1 = w1sum / d;
    return e;
}

// The weighted mean of W0 / W1 - 1 over the pages that have direct links.
double EstimateSiteAcceleration(CSiteMap& map) {
    double sum = 0.0;
    double weight = 0.0;
    for (int i = 0; i < map.PageCount(); ++i) {
        CSitePage* page = map.PageAt(i);
        if (!page->HasStaticLink()) {
            continue;
        }
        NextClickEstimate e = EstimateNextClick(*page);
        const double w0 = std::max(e.w0, 0.01);
        const double w1 = std::max(e.w1, 0.01);
        sum += (w0 / w1 - 1.0) * e.p;
        weight += e.p;
    }
    return sum / (weight > 1.0 ? weight : 1.0);
}

// Site statistics are available when some page has learnt link weights.
bool SiteStatisticsAvailable(const CSiteMap& map) {
    for (const auto& page : map.Pages()) {
        if (page->WeightSum() > 0.0) {
            return true;
        }
    }
    return false;
}

}  // namespace

PageEstimates EstimatePage(CSitePage& page) {
    PageEstimates e;
    e.load = page.AverageLoadTime();
    e.idle = page.AverageIdleTime();
    e.direct = page.HasStaticLink();
    e.next = EstimateNextClick(page);
    return e;
}

SiteEstimates EstimateSite(CSiteMap& map) {
    SiteEstimates e;
    e.available = SiteStatisticsAvailable(map);
    if (e.available) {
        e.acceleration = EstimateSiteAcceleration(map);
    }
    return e;
}

int ShownSeconds(double seconds) {
    return static_cast<int>(seconds);
}

int ShownPageAcceleration(const NextClickEstimate& e) {
    // Adding a half and truncating is the rounding the shown percentages have always had (toward
    // zero for negative values, unlike lround); the figures shown and stored depend on it.
    const double percent = 100.0 * (std::max(e.w0, 0.1) / std::max(e.w1, 0.1) - 1.0);
    return static_cast<int>(0.5 + percent);  // NOLINT(bugprone-incorrect-roundings)
}

int ShownSiteAcceleration(double acceleration) {
    // The same rounding as ShownPageAcceleration, on purpose.
    return static_cast<int>(0.5 + 100.0 * acceleration);  // NOLINT(bugprone-incorrect-roundings)
}
