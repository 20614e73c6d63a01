#include "sitemap/SiteMap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SiteMap, NamesFollowSameNameAndTheFirstInListOrderWins) {
    CSiteMap map("index.html");
    CSitePage* a = map.AddPage("/Index.htm");
    EXPECT_EQ(map.AddPage("/index.HTML"), a);
    EXPECT_EQ(map.PageCount(), 1);
    CSiteFile* gif = map.AddFile("/logo.gif");
    CSiteFile* jpg = map.AddFile("/logo.jpg");
    EXPECT_NE(gif, jpg);
    EXPECT_EQ(map.FileCount(), 2);
    EXPECT_EQ(map.FindFile("/LOGO.GIF"), gif);
    EXPECT_EQ(map.FindPage("/logo.gif"), nullptr);

    // Duplicates from a statistics file: lookups answer the first one, also after a purge.
    CSitePage* dup = map.AppendPage("/INDEX.HTML");
    EXPECT_EQ(map.FindPage("/index.html"), a);
    a->GetOrAddLink(dup)->IsStatic = true;
    dup->GetOrAddLink(a)->IsStatic = true;
    map.PurgeUnreferenced();
    EXPECT_EQ(map.FindPage("/index.html"), a);
    EXPECT_EQ(map.PageCount(), 2);
}

TEST(SiteMap, RecordHitRules) {
    CSiteMap map("index.html");
    CSitePage* frameset = map.AddPage("/frames.html");
    CSitePage* left = map.AddPage("/left.html");
    CSitePage* b = map.AddPage("/b.html");
    frameset->Frames.push_back(left);
    left->GetOrAddLink(b)->IsStatic = true;

    CSitePage* current = nullptr;
    map.RecordHit(nullptr, current, frameset);  // first hit: no transition
    EXPECT_EQ(current, frameset);
    EXPECT_TRUE(frameset->Links.empty());
    map.RecordHit(nullptr, current, left);  // a frame of the page on show
    EXPECT_EQ(current, frameset);
    EXPECT_TRUE(frameset->Links.empty());
    map.RecordHit(nullptr, current, b);  // counted on the frame that links to b
    EXPECT_EQ(current, b);
    EXPECT_TRUE(frameset->Links.empty());
    EXPECT_DOUBLE_EQ(left->FindLink(b)->Weight, 1.0);
    map.RecordHit(frameset, current, b);
    EXPECT_DOUBLE_EQ(left->FindLink(b)->Weight, 2.0);
    EXPECT_EQ(map.HitCount, 4);
}

TEST(SiteMap, DecayArithmetic) {
    CSiteMap map("index.html");
    CSitePage* p = map.AddPage("/p.html");
    CSitePage* q = map.AddPage("/q.html");
    CSitePage* r = map.AddPage("/r.html");
    for (int i = 0; i < 9; ++i) {
        p->RecordTransition(q, 10, 0.8);
    }
    EXPECT_DOUBLE_EQ(p->FindLink(q)->Weight, 9.0);
    p->RecordTransition(r, 10, 0.8);  // the tenth multiplies every weight, the new one too
    EXPECT_DOUBLE_EQ(p->FindLink(q)->Weight, 9.0 * 0.8);
    EXPECT_DOUBLE_EQ(p->FindLink(r)->Weight, 0.8);
    EXPECT_EQ(p->TransitionsSinceDecay, 0);
    EXPECT_DOUBLE_EQ(p->DecayProduct, 0.8);

    // A counter left at 57 by a run with period 100 decays at once under period 10.
    q->TransitionsSinceDecay = 57;
    q->RecordTransition(r, 10, 0.8);
    EXPECT_EQ(q->TransitionsSinceDecay, 8);
    EXPECT_NEAR(q->FindLink(r)->Weight, std::pow(0.8, 5), 1e-12);

    // The defaults change nothing.
    CSitePage* s = map.AddPage("/s.html");
    for (int i = 0; i < 250; ++i) {
        s->RecordTransition(p, map.DecayPeriod, map.DecayFactor);
    }
    EXPECT_DOUBLE_EQ(s->FindLink(p)->Weight, 250.0);
}

TEST(SiteMap, ForgetPurgeAndReset) {
    CSiteMap map("index.html");
    CSitePage* home = map.AddPage("/index.html");
    CSitePage* only = map.AddPage("/only-static.html");
    CSitePage* learnt = map.AddPage("/learnt.html");
    CSiteFile* img = map.AddFile("/a.gif");
    home->GetOrAddLink(only)->IsStatic = true;
    CPageLink* l = home->GetOrAddLink(learnt);
    l->IsStatic = true;
    l->Weight = 3.0;
    learnt->GetOrAddLink(home)->Weight = 1.0;
    home->AddImage(img);
    learnt->ForcedPrefetchPages = {only, home};

    map.ForgetStaticStructure();
    // The page reached only by a static link of weight 0 is gone, and with it the forced entry.
    EXPECT_EQ(map.FindPage("/only-static.html"), nullptr);
    EXPECT_EQ(map.FindFile("/a.gif"), nullptr);
    ASSERT_EQ(map.PageCount(), 2);
    EXPECT_FALSE(home->Links[0]->IsStatic);
    EXPECT_EQ(learnt->ForcedPrefetchPages, (std::vector<CSitePage*>{home}));

    home->FindLink(learnt)->IsStatic = true;
    learnt->TransitionsSinceDecay = 4;
    learnt->DecayProduct = 0.5;
    map.HitCount = 7;
    map.ResetStatistics();
    // Only static links stay, at weight 0; the learnt link back home is gone and home with it.
    EXPECT_EQ(map.HitCount, 0);
    EXPECT_EQ(map.FindPage("/index.html"), nullptr);
    ASSERT_EQ(map.PageCount(), 1);
    EXPECT_EQ(map.PageAt(0), learnt);
    EXPECT_TRUE(learnt->Links.empty());
    EXPECT_EQ(learnt->TransitionsSinceDecay, 0);
    EXPECT_DOUBLE_EQ(learnt->DecayProduct, 1.0);
    EXPECT_TRUE(learnt->ForcedPrefetchPages.empty());
}

TEST(SiteMap, SortLinksAndSums) {
    CSiteMap map("index.html");
    CSitePage* p = map.AddPage("/p.html");
    std::vector<CSitePage*> t;
    for (int i = 0; i < 12; ++i) {  // more than the link-index threshold
        t.push_back(map.AddPage("/t" + std::to_string(i) + ".html"));
        p->GetOrAddLink(t.back());
    }
    p->SortLinks();  // all weights 0: order unchanged
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(p->Links[static_cast<size_t>(i)]->Target, t[static_cast<size_t>(i)]);
    }
    p->FindLink(t[3])->Weight = 5;
    p->FindLink(t[7])->Weight = 2;
    p->FindLink(t[9])->IsStatic = true;
    p->SortLinks();
    EXPECT_EQ(p->Links[0]->Target, t[9]);
    EXPECT_EQ(p->Links[1]->Target, t[3]);
    EXPECT_EQ(p->Links[2]->Target, t[7]);
    EXPECT_EQ(p->FindLink(t[7]), p->Links[2].get());
    EXPECT_DOUBLE_EQ(p->WeightSum(), 7.0);

    p->AddTimingSample(20, 4);
    p->AddTimingSample(3, 6);  // view is the larger of the two
    EXPECT_EQ(p->ViewSamples, 2);
    EXPECT_EQ(p->ViewTimeSum, 26);
    EXPECT_EQ(p->LoadTimeSum, 10);
    EXPECT_EQ(p->AverageLoadTime(), 5);
    EXPECT_EQ(p->AverageIdleTime(), 8);
}

TEST(SiteMap, TimingSumsNeverOverflow) {
    CSitePage p("/p.html");
    for (int i = 0; i < 3000; ++i) {
        p.AddTimingSample(1800000, 900000);
    }
    EXPECT_GT(p.ViewSamples, 0);
    EXPECT_NEAR(p.AverageLoadTime(), 900000, 1);
    EXPECT_NEAR(p.AverageIdleTime(), 900000, 1);
}

TEST(SiteMap, FramesThatFrameEachOtherEndTheWalk) {
    CSiteMap map("index.html");
    CSitePage* a = map.AddPage("/a.html");
    CSitePage* b = map.AddPage("/b.html");
    CSitePage* c = map.AddPage("/c.html");
    a->Frames.push_back(b);
    b->Frames.push_back(a);
    b->Frames.push_back(b);
    EXPECT_TRUE(a->ContainsFrame(b));
    EXPECT_FALSE(a->ContainsFrame(c));
    std::vector<CSitePage*> list;
    a->CollectWithFrames(list);
    EXPECT_EQ(list, (std::vector<CSitePage*>{a, b}));
    CSitePage* owner = reinterpret_cast<CSitePage*>(1);
    int index = 7;
    EXPECT_EQ(a->FindLinkDeep(c, &owner, &index), nullptr);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(index, -1);
    b->GetOrAddLink(a);
    CPageLink* link = b->GetOrAddLink(c);
    EXPECT_EQ(a->FindLinkDeep(c, &owner, &index), link);
    EXPECT_EQ(owner, b);
    EXPECT_EQ(index, 1);
}

}  // namespace
