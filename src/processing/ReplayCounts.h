// The tally of a log replay: how often each page was viewed and how often visitors went from
// each page to each next page. It listens to a log analyzer in replay mode; one thread.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "log/VisitListener.h"

class CSitePage;

class CReplayCounts : public CVisitListener {
  public:
    struct PageCounts {
        int64_t views = 0;
        int64_t transitions = 0;  // out of this page
        std::unordered_map<CSitePage*, int64_t> next;
    };

    // A transition is counted for the page whose link it follows, as the log phase counts its
    // weight: the page itself, or the frame of a frame set that holds the link.
    void OnPageHit(CSitePage* page, CSitePage* from) override;

    // Every page viewed or left, by page (borrowed from the replayed graph).
    const std::unordered_map<const CSitePage*, PageCounts>& Pages() const { return m_pages; }
    // The counts of page, or nullptr when it was neither viewed nor left.
    const PageCounts* Find(const CSitePage* page) const;
    int64_t Views() const { return m_views; }
    int64_t Transitions() const { return m_transitions; }

  private:
    std::unordered_map<const CSitePage*, PageCounts> m_pages;
    int64_t m_views = 0;
    int64_t m_transitions = 0;
};
