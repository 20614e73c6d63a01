#include "sitemap/SiteMap.h"

#include "site/LocalSiteAccess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace {

TEST(SiteMap, RecordHitRulesAndFramesThatFrameEachOther) {
    CSiteMap map("index.html");
    CSitePage* frameset = map.AddPage("/frames.html");
    CSitePage* left = map.AddPage("/left.html");
    CSitePage* b = map.AddPage("/b.html");
    frameset->Frames.push_back(left);
    left->GetOrAddLink(b)->IsStatic = true;

    CSitePage* current = nullptr;
    map.RecordHit(nullptr, current, frameset);  // first hit: no transition
    EXPECT_EQ(current, frameset);
    map.RecordHit(nullptr, current, left);  // a frame of the page on show
    EXPECT_EQ(current, frameset);
    map.RecordHit(nullptr, current, b);  // counted on the frame that links to b
    EXPECT_EQ(current, b);
    EXPECT_TRUE(frameset->Links.empty());
    EXPECT_DOUBLE_EQ(left->FindLink(b)->Weight, 1.0);
    map.RecordHit(frameset, current, b);
    EXPECT_DOUBLE_EQ(left->FindLink(b)->Weight, 2.0);
    map.RecordHit(b, current, nullptr);  // no target: only counted
    EXPECT_EQ(map.HitCount, 5);
    EXPECT_EQ(current, b);
    EXPECT_TRUE(b->Links.empty());
    b->RecordTransition(nullptr, 10, 0.5);
    EXPECT_TRUE(b->Links.empty());
    EXPECT_EQ(b->TransitionsSinceDecay, 0);

    // Frames that frame each other end every walk.
    left->Frames = {frameset, left};
    CSitePage* c = map.AddPage("/c.html");
    EXPECT_TRUE(frameset->ContainsFrame(left));
    EXPECT_FALSE(frameset->ContainsFrame(c));
    std::vector<CSitePage*> list;
    frameset->CollectWithFrames(list);
    EXPECT_EQ(list, (std::vector<CSitePage*>{frameset, left}));
    CSitePage* owner = reinterpret_cast<CSitePage*>(1);
    int index = 7;
    EXPECT_EQ(frameset->FindLinkDeep(c, &owner, &index), nullptr);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(index, -1);
    CPageLink* link = left->GetOrAddLink(c);
    EXPECT_EQ(frameset->FindLinkDeep(c, &owner, &index), link);
    EXPECT_EQ(owner, left);
    EXPECT_EQ(index, 1);
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

TEST(SiteMap, PurgeKeepsTheCrawlStartAndDropsSelfReferencesAndDanglingNames) {
    CSiteMap map("index.html");
    CSitePage* home = map.AddPage("/index.html");
    CSitePage* loop = map.AddPage("/loop.html");
    CSitePage* kept = map.AddPage("/kept.html");
    CSitePage* orphan = map.AddPage("/orphan.html");
    CSiteFile* shared = map.AddFile("/shared.gif");
    loop->GetOrAddLink(loop)->Weight = 5.0;  // only references to itself
    loop->Frames.push_back(loop);
    loop->AddImage(shared);
    home->GetOrAddLink(kept)->Weight = 2.0;
    kept->AddImage(shared);
    kept->ForcedPrefetchPages = {loop, home, orphan, kept};
    map.PurgeUnreferenced(home);  // the page a crawl starts from stays though nothing links to it
    ASSERT_EQ(map.PageCount(), 2);
    EXPECT_EQ(map.PageAt(0), home);
    EXPECT_EQ(map.PageAt(1), kept);
    EXPECT_EQ(map.FindFile("/shared.gif"), shared);
    EXPECT_EQ(kept->ForcedPrefetchPages, (std::vector<CSitePage*>{home, kept}));
    EXPECT_DOUBLE_EQ(home->FindLink(kept)->Weight, 2.0);
    map.PurgeUnreferenced(nullptr);
    ASSERT_EQ(map.PageCount(), 1);
    EXPECT_EQ(map.PageAt(0), kept);
    EXPECT_EQ(kept->ForcedPrefetchPages, (std::vector<CSitePage*>{kept}));
    // A name that went is new again.
    CSitePage* again = map.AddPage("/LOOP.htm");
    EXPECT_EQ(map.PageAt(1), again);
    EXPECT_TRUE(again->Links.empty());
}

// Timing samples on sums a statistics file may hold; no sum overflows and no loop hangs.
TEST(SiteMap, TimingSamplesAndTheirAverages) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        const char* what;
        int32_t samples, viewSum, loadSum;  // before
        int32_t view, load;
        int count;  // samples added
        int32_t expectSamples, averageLoad, averageIdle, tolerance;
    };
    const Case cases[] = {
        {"the view is the larger of the two", 1, 20, 4, 3, 6, 1, 2, 5, 8, 0},
        {"a sample that cannot be added to a single one replaces it", 0, 0, 0, 2000000000,
         1500000000, 2, 1, 1500000000, 500000000, 0},
        {"many large samples: the averages stay", 0, 0, 0, 1800000, 900000, 3000, 612, 900000,
         900000, 1},
        {"sums without samples", 0, kMax, 0, 10, 5, 1, 1, 5, 5, 0},
        {"a negative count", -3, 0, kMin, 1, -1, 1, 1, -1, 2, 0},
        {"the idle average of extreme sums", 1, kMax, kMin, 0, 0, 0, 1, kMin, kMax, 0},
    };
    for (const Case& c : cases) {
        CSitePage p("/p.html");
        p.ViewSamples = c.samples;
        p.ViewTimeSum = c.viewSum;
        p.LoadTimeSum = c.loadSum;
        for (int i = 0; i < c.count; ++i)
            p.AddTimingSample(c.view, c.load);
        EXPECT_EQ(p.ViewSamples, c.expectSamples) << c.what;
        EXPECT_NEAR(p.AverageLoadTime(), c.averageLoad, c.tolerance) << c.what;
        EXPECT_NEAR(p.AverageIdleTime(), c.averageIdle, c.tolerance) << c.what;
    }
}

TEST(SiteMap, TheLinkIndexNoticesAChangedOrSortedList) {
    CSiteMap map("index.html");
    CSitePage* p = map.AddPage("/p.html");
    std::vector<CSitePage*> t;
    for (int i = 0; i < 12; ++i) {
        t.push_back(map.AddPage("/t" + std::to_string(i) + ".html"));
        p->GetOrAddLink(t.back());
    }
    ASSERT_NE(p->FindLink(t[0]), nullptr);  // builds the index
    // Links removed and added without LinksChanged: no freed link is ever handed out.
    p->Links.erase(p->Links.begin());
    EXPECT_EQ(p->FindLink(t[0]), nullptr);
    EXPECT_EQ(p->FindLink(t[1]), p->Links[0].get());
    p->Links.erase(p->Links.begin());  // t[1] goes and t[0] comes back: the same length
    p->Links.push_back(std::make_unique<CPageLink>(t[0]));
    EXPECT_EQ(p->FindLink(t[1]), nullptr);
    EXPECT_EQ(p->FindLink(t[0]), p->Links.back().get());
    EXPECT_EQ(p->GetOrAddLink(t[0]), p->Links.back().get());
    p->Links.push_back(std::make_unique<CPageLink>(t[1]));
    EXPECT_EQ(p->FindLink(t[1]), p->Links.back().get());
    // Two links to one target (a statistics file may hold them): the first one answers.
    p->Links.push_back(std::make_unique<CPageLink>(t[5]));
    EXPECT_EQ(p->FindLink(t[5]), p->Links[3].get());
    EXPECT_EQ(p->Links[3]->Target, t[5]);
    // Sorting: static links first, then by falling weight; lookups follow the new order.
    p->FindLink(t[3])->Weight = 5;
    p->FindLink(t[7])->Weight = 2;
    p->FindLink(t[9])->IsStatic = true;
    p->FindLink(t[9])->Weight = 1;
    p->SortLinks();
    EXPECT_EQ(p->Links[0]->Target, t[9]);
    EXPECT_EQ(p->Links[1]->Target, t[3]);
    EXPECT_EQ(p->Links[2]->Target, t[7]);
    EXPECT_EQ(p->FindLink(t[7]), p->Links[2].get());
    EXPECT_DOUBLE_EQ(p->WeightSum(), 8.0);
}

// The first entry of the list whose name is SameName-equal to name: a plain scan.
template <typename List>
auto ScanFor(const List& list, const std::string& name) -> decltype(list.front().get()) {
    for (const auto& entry : list) {
        if (SameName(entry->Name, name))
            return entry.get();
    }
    return nullptr;
}

TEST(SiteMap, TheNameIndexAnswersLikeTheListScan) {
    // Random adds, appends of equal names, links and purges; every lookup must give what a scan
    // of the list in order gives.
    std::mt19937 rng(7);
    const char* stems[] = {"/a", "/A", "/b", "/dir/a", "/DIR/A", "/c.d/e"};
    const char* exts[] = {".htm", ".html", ".HTM", ".gif", ".GIF", ".jpg", "", "."};
    CSiteMap map("index.html");
    for (int round = 0; round < 400; ++round) {
        const unsigned op = rng() % 6;
        const std::string name =
            std::string(stems[rng() % std::size(stems)]) + exts[rng() % std::size(exts)];
        if (op == 0) {
            map.AppendPage(name);
        } else if (op == 1) {
            map.AppendFile(name);
        } else if (op == 2) {
            CSiteFile* before = ScanFor(map.Files(), name);
            CSiteFile* added = map.AddFile(name);
            ASSERT_EQ(added, before ? before : map.FileAt(map.FileCount() - 1)) << name;
        } else if (op == 3 && map.PageCount() > 1) {
            CSitePage* from = map.PageAt(static_cast<int>(rng() % map.PageCount()));
            from->GetOrAddLink(map.PageAt(static_cast<int>(rng() % map.PageCount())))->Weight = 1;
            if (map.FileCount() > 0)
                from->AddImage(map.FileAt(static_cast<int>(rng() % map.FileCount())));
        } else if (op == 4 && rng() % 8 == 0) {
            map.PurgeUnreferenced();
        } else if (op == 5) {
            CSitePage* before = ScanFor(map.Pages(), name);
            CSitePage* added = map.AddPage(name);
            ASSERT_EQ(added, before ? before : map.PageAt(map.PageCount() - 1)) << name;
        }
        for (const char* stem : stems) {
            for (const char* ext : exts) {
                const std::string probe = std::string(stem) + ext;
                ASSERT_EQ(map.FindPage(probe), ScanFor(map.Pages(), probe)) << probe << round;
                ASSERT_EQ(map.FindFile(probe), ScanFor(map.Files(), probe)) << probe << round;
            }
        }
    }
}

// The local site access, counting the sizes asked; it can be told to answer one size with a
// number no file system gives.
class SizeCountingAccess : public CLocalSiteAccess {
  public:
    using CLocalSiteAccess::CLocalSiteAccess;
    int32_t GetFileSize(const std::string& name) override {
        ++asked[name];
        if (name == oddName)
            return oddAnswer;
        return CLocalSiteAccess::GetFileSize(name);
    }
    std::map<std::string, int> asked;
    std::string oddName;
    int32_t oddAnswer = 0;
};

TEST(SiteMap, SizesAreAskedOnceAndCached) {
    CTempDir scratch("sizes");
    ASSERT_TRUE(scratch.WriteFile("a.html", "0123456789"));
    ASSERT_TRUE(scratch.WriteFile("logo.gif", "GIF"));
    CSiteMap map("index.html");
    CSitePage* a = map.AddPage("/a.html");
    CSitePage* missing = map.AddPage("/missing.html");
    CSitePage* odd = map.AddPage("/odd.html");
    CSiteFile* logo = map.AddFile("/logo.gif");
    a->AddImage(logo);
    EXPECT_EQ(map.GetPageSize(a), -2);  // no access object yet: nothing asked, nothing cached
    EXPECT_EQ(a->Size, -2);

    auto access = std::make_unique<SizeCountingAccess>(scratch.Path());
    SizeCountingAccess* counter = access.get();
    counter->oddName = "/odd.html";
    counter->oddAnswer = -2;
    map.SetAccess(std::move(access));
    EXPECT_EQ(a->TotalSize(), 0);  // asks nothing
    EXPECT_EQ(map.GetPageSize(a), 10);
    EXPECT_EQ(a->TotalSize(), 10);
    EXPECT_TRUE(map.HasSize(logo));
    EXPECT_EQ(a->TotalSize(), 13);
    EXPECT_FALSE(map.HasSize(missing));
    EXPECT_EQ(missing->Size, -1);
    EXPECT_EQ(map.GetPageSize(odd), -1);
    for (int i = 0; i < 3; ++i) {
        map.GetPageSize(a);
        map.HasSize(logo);
        map.HasSize(missing);
        map.GetPageSize(odd);
    }
    EXPECT_EQ(counter->asked,
              (std::map<std::string, int>{
                  {"/a.html", 1}, {"/logo.gif", 1}, {"/missing.html", 1}, {"/odd.html", 1}}));
}

}  // namespace
