// A directed link of the page graph, owned by its source page. Used by the graph's thread.
#pragma once

class CSitePage;

class CPageLink {
  public:
    explicit CPageLink(CSitePage* target) : Target(target) {}

    CSitePage* Target;          // borrowed: a page of the same graph
    double Weight = 0.0;        // observed transitions, after decay
    bool IsStatic = false;      // the link is in the source page's HTML
    bool IsPrefetched = false;  // chosen by planning
    double PlanValue = -1.0;    // estimated benefit of prefetching; -1 not computed
};
