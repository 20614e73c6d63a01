#include "processing/Estimates.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sitemap/SiteMap.h"

namespace {

// A page with the given average load and idle times from one timing sample.
void SetTimes(CSitePage* page, int load, int idle) {
    page->ViewSamples = 1;
    page->LoadTimeSum = load;
    page->ViewTimeSum = load + idle;
}

TEST(Estimates, OnePrefetchedLink) {
    CSiteMap map("index.html");
    CSitePage* page = map.AddPage("/page.html");
    CSitePage* target = map.AddPage("/next.html");
    SetTimes(page, 0, 5);
    SetTimes(target, 4, 0);
    CPageLink* link = page->GetOrAddLink(target);
    link->IsStatic = true;
    link->IsPrefetched = true;
    link->Weight = 0.5;

    NextClickEstimate e = EstimatePage(*page).next;
    EXPECT_DOUBLE_EQ(e.base, 0.84);
    EXPECT_DOUBLE_EQ(e.p, 0.5);
    EXPECT_DOUBLE_EQ(e.w0, 2.0);
    EXPECT_NEAR(e.w1, (1 - 0.84 * 0.84) * 0.5 * 4, 1e-12);

    // Not prefetched: no benefit, no acceleration.
    link->IsPrefetched = false;
    e = EstimatePage(*page).next;
    EXPECT_DOUBLE_EQ(e.w1, e.w0);
    EXPECT_EQ(ShownPageAcceleration(e), 0);

    // With an idle time of a second or none, a fifth of a prefetch is done all the same.
    for (int idle : {0, 1}) {
        SetTimes(page, 0, idle);
        EXPECT_DOUBLE_EQ(EstimatePage(*page).next.base, 0.2) << idle;
    }
}

// Four links of weight 1 to pages that load in 2 s, the fourth marked prefetched; the forced
// order names the third, a page that is no link, and the first.
TEST(Estimates, ForcedOrderDecidesWhatCountsAsPrefetched) {
    CSiteMap map("index.html");
    CSitePage* page = map.AddPage("/page.html");
    std::vector<CSitePage*> t;
    for (int i = 0; i < 4; ++i) {
        t.push_back(map.AddPage("/t" + std::to_string(i) + ".html"));
        SetTimes(t.back(), 2, 0);
        CPageLink* l = page->GetOrAddLink(t.back());
        l->IsStatic = true;
        l->Weight = 1;
        l->IsPrefetched = (i == 3);  // ignored with the forced order on
    }
    SetTimes(page, 0, 3);
    page->ForcePrefetchOrder = true;
    // The forced page that is no link is skipped and prefetched as nothing: the next link in
    // order does not take its place. t2 gains base^(2/2), t0 base^(2/2 + 2); t1 and t3 nothing.
    page->ForcedPrefetchPages = {t[2], map.AddPage("/elsewhere.html"), t[0]};
    const NextClickEstimate e = EstimatePage(*page).next;
    const double base = 0.2 + 0.8 * (1 - 1.0 / 3);
    EXPECT_DOUBLE_EQ(e.w0, 2.0);
    EXPECT_NEAR(e.w1, ((1 - base) * 2 + (1 - std::pow(base, 3)) * 2 + 2 + 2) / 4, 1e-12);
}

}  // namespace
