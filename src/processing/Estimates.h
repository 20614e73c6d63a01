// Per-page and site-wide estimates of how much faster the next click gets with prefetching,
// computed from the page graph's timing averages and link weights. Pure functions of the graph:
// showing the estimates changes nothing in it. Call from the thread that owns the graph.
#pragma once

#include <string>

class CSiteMap;
class CSitePage;

struct NextClickEstimate {
    double base = 0.2;  // share of a prefetch that is done per idle second
    double w0 = 0.0;    // expected next-click load time without prefetching (seconds)
    double w1 = 0.0;    // the same with prefetching
    double p = 0.0;     // total weight of the static links considered
};

// Everything shown of one page, as the step-by-step dialog and `tarvik estimate` show it. Showing
// changes nothing (no PlanValue is stored), so a graph that was only looked at is not saved again
// (over a newer file a run may be writing).
struct PageEstimates {
    int load = 0;         // AverageLoadTime, seconds
    int idle = 0;         // AverageIdleTime, seconds
    bool direct = false;  // HasStaticLink: without direct links next holds nothing to show
    NextClickEstimate next;
};
PageEstimates EstimatePage(CSitePage& page);

// The site's figure: available when some page has learnt link weights; acceleration 0 when not.
struct SiteEstimates {
    bool available = false;
    double acceleration = 0.0;
};
SiteEstimates EstimateSite(CSiteMap& map);

// The numbers as the estimates are shown: whole numbers truncated toward zero.
int ShownSeconds(double seconds);                       // callers pass W0 - 0.5 or W1 - 0.5
int ShownPageAcceleration(const NextClickEstimate& e);  // 0.5 + 100 * (max(W0,0.1)/max(W1,0.1) - 1)
int ShownSiteAcceleration(double acceleration);         // 0.5 + 100 * acceleration
