// Per-page and site-wide estimates of how much faster the next click gets with prefetching,
// computed from the page graph's timing averages and link weights. Pure functions of the graph
// except that EstimateNextClick and EstimateSiteAcceleration store each link's benefit in its
// PlanValue when asked to. Call from the thread that owns the graph.
#pragma once

#include <string>
#include <vector>

class CPageLink;
class CSiteMap;
class CSitePage;

struct NextClickEstimate {
    double base = 0.2;  // share of a prefetch that is done per idle second
    double w0 = 0.0;    // expected next-click load time without prefetching (seconds)
    double w1 = 0.0;    // the same with prefetching
    double p = 0.0;     // total weight of the static links considered
};

// The page's links in the order the estimate considers them: with the forced order on, first
// the links to the forced pages in forced order (a forced page without a link is skipped), then
// the rest in link order; otherwise link order.
std::vector<CPageLink*> CandidateOrder(CSitePage& page);
// The same, and tells through *forcedLinks (when not null) how many of the first links are
// those of forced pages (0 with the forced order off): the links the estimate counts as
// prefetched in forced order.
std::vector<CPageLink*> CandidateOrder(CSitePage& page, std::size_t* forcedLinks);

// The next-click estimate of one page; stores every considered link's benefit in PlanValue when
// storePlanValues is set.
NextClickEstimate EstimateNextClick(CSitePage& page, bool storePlanValues = true);

// The weighted mean of W0 / W1 - 1 over the pages that have direct links.
double EstimateSiteAcceleration(CSiteMap& map, bool storePlanValues = true);

// Site statistics are available when some page has learnt link weights.
bool SiteStatisticsAvailable(const CSiteMap& map);

// Everything shown of one page, as the step-by-step dialog and `tarvik estimate` show it. Showing
// changes nothing: EstimatePage and EstimateSite store no PlanValue, so a graph that was only
// looked at is not saved again (over a newer file a run may be writing).
struct PageEstimates {
    int load = 0;         // AverageLoadTime, seconds
    int idle = 0;         // AverageIdleTime, seconds
    bool direct = false;  // HasStaticLink: without direct links next holds nothing to show
    NextClickEstimate next;
};
PageEstimates EstimatePage(CSitePage& page);

// The site's figure: available as SiteStatisticsAvailable says; acceleration 0 when not.
struct SiteEstimates {
    bool available = false;
    double acceleration = 0.0;
};
SiteEstimates EstimateSite(CSiteMap& map);

// The numbers as the estimates are shown: whole numbers truncated toward zero.
int ShownSeconds(double seconds);                       // callers pass W0 - 0.5 or W1 - 0.5
int ShownPageAcceleration(const NextClickEstimate& e);  // 0.5 + 100 * (max(W0,0.1)/max(W1,0.1) - 1)
int ShownSiteAcceleration(double acceleration);         // 0.5 + 100 * acceleration
