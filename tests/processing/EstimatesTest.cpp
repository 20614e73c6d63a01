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

TEST(Estimates, BaseFollowsIdleTime) {
    CSiteMap map("index.html");
    CSitePage* p = map.AddPage("/p.html");
    const std::pair<int, double> cases[] = {{0, 0.2}, {1, 0.2}, {5, 0.84}, {10, 0.92}};
    for (auto [idle, base] : cases) {
        SetTimes(p, 0, idle);
        EXPECT_NEAR(EstimateNextClick(*p).base, base, 1e-12) << idle;
    }
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

    NextClickEstimate e = EstimateNextClick(*page);
    EXPECT_DOUBLE_EQ(e.p, 0.5);
    EXPECT_DOUBLE_EQ(e.w0, 2.0);
    EXPECT_NEAR(link->PlanValue, 0.84 * 0.84, 1e-12);
    EXPECT_NEAR(e.w1, (1 - 0.7056) * 0.5 * 4, 1e-12);
    EXPECT_EQ(ShownSeconds(e.w0 - 0.5), 1);
    EXPECT_EQ(ShownSeconds(e.w1 - 0.5), 0);
    EXPECT_EQ(ShownPageAcceleration(e), 240);

    // Not prefetched: no benefit, no acceleration.
    link->IsPrefetched = false;
    e = EstimateNextClick(*page);
    EXPECT_DOUBLE_EQ(link->PlanValue, 0.0);
    EXPECT_DOUBLE_EQ(e.w1, e.w0);
    EXPECT_EQ(ShownPageAcceleration(e), 0);
}

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
    // A forced page that is not a link is skipped and prefetched as nothing: the next link in
    // order does not take its place.
    page->ForcedPrefetchPages = {t[2], map.AddPage("/elsewhere.html"), t[0]};
    std::vector<CPageLink*> order = CandidateOrder(*page);
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0]->Target, t[2]);
    EXPECT_EQ(order[1]->Target, t[0]);
    EXPECT_EQ(order[2]->Target, t[1]);
    EXPECT_EQ(order[3]->Target, t[3]);
    EstimateNextClick(*page);
    double base = 0.2 + 0.8 * (1 - 1.0 / 3);
    EXPECT_NEAR(page->FindLink(t[2])->PlanValue, std::pow(base, 1), 1e-12);  // 2/2 + 0
    EXPECT_NEAR(page->FindLink(t[0])->PlanValue, std::pow(base, 3), 1e-12);  // 2/2 + 2
    EXPECT_EQ(page->FindLink(t[1])->PlanValue, 0.0);
    EXPECT_EQ(page->FindLink(t[3])->PlanValue, 0.0);
}

}  // namespace
