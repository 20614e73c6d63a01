#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "sitemap/SiteMap.h"
#include "support/Scoped.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Builds a statistics file item by item.
struct Bytes {
    template <typename T>
    Bytes& Put(T v) {
        text.append(reinterpret_cast<const char*>(&v), sizeof v);
        return *this;
    }
    Bytes& I(int32_t v) { return Put(v); }
    Bytes& I(std::initializer_list<int32_t> values) {
        for (int32_t v : values)
            Put(v);
        return *this;
    }
    Bytes& B(uint8_t v) { return Put(v); }
    Bytes& D(double v) { return Put(v); }
    Bytes& S(const std::string& v) {
        I(static_cast<int32_t>(v.size())).text += v;
        return *this;
    }
    std::string text;
};

class StatisticsFileTest : public testing::Test {
  protected:
    CTempDir scratch{"stats"};
    fs::path dir = scratch.Path();
};

// The bytes as stored files have them: format, version, the page list (a page starts with its
// name, then its size), the file list, the end.
TEST_F(StatisticsFileTest, SavedBytesFollowTheLayout) {
    CSiteMap map("index.html");
    ASSERT_TRUE(map.Save((dir / "a.qvs").string()));
    EXPECT_EQ(ReadWholeFile(dir / "a.qvs"), Bytes().I({3, 1, 1, 0, 2, 0, 0}).text);
    map.AddPage("/index.html");
    ASSERT_TRUE(map.Save((dir / "p.qvs").string()));
    const std::string page = Bytes().I({3, 1, 1, 1, 1}).S("/index.html").I({9, -2}).text;
    EXPECT_EQ(ReadWholeFile(dir / "p.qvs").substr(0, page.size()), page);
}

TEST_F(StatisticsFileTest, RoundTripKeepsEveryStoredField) {
    CSiteMap map("index.html");
    CSitePage* home = map.AddPage("/index.html");
    CSitePage* b = map.AddPage("/b.html");
    CSitePage* f = map.AddPage("/frame.htm");
    CSiteFile* img = map.AddFile("/logo.gif");
    img->Size = 1234;
    home->Size = -1;
    CPageLink* l1 = home->GetOrAddLink(b);
    l1->IsStatic = true;
    l1->Weight = 0.1 + 0.2;
    l1->PlanValue = 0.7056;
    CPageLink* l2 = home->GetOrAddLink(home);
    l2->IsPrefetched = true;
    l2->Weight = 2.0;
    home->GetOrAddLink(f)->Weight = 5.0;  // links keep their order, not sorted by weight
    home->Images.push_back(img);
    home->Frames.push_back(f);
    home->ForcedPrefetchPages = {b, f};
    home->ForcePrefetchOrder = true;
    home->ViewSamples = 3;
    home->ViewTimeSum = 60;
    home->LoadTimeSum = 9;
    ASSERT_TRUE(map.Save((dir / "s.qvs").string()));

    CSiteMap back("index.html");
    back.AddPage("/replaced.html");
    back.LastLogFile = "/logs/a.log";
    back.LastLogPosition = 7;
    back.LastLogNumber = 2;
    back.HitCount = 9;
    back.SetDecay(10, 0.8);
    ASSERT_TRUE(back.Load((dir / "s.qvs").string()));
    // What the file does not hold is back at its defaults.
    EXPECT_EQ(back.LastLogFile, "");
    EXPECT_EQ(back.LastLogPosition, -1);
    EXPECT_EQ(back.LastLogNumber, -1);
    EXPECT_EQ(back.HitCount, 0);
    EXPECT_EQ(back.DecayPeriod, 100);
    EXPECT_EQ(back.DecayFactor, 1.0);
    EXPECT_EQ(back.FindPage("/replaced.html"), nullptr);
    ASSERT_EQ(back.PageCount(), 3);
    ASSERT_EQ(back.FileCount(), 1);
    CSitePage* h = back.PageAt(0);
    EXPECT_EQ(h->Name, "/index.html");
    EXPECT_EQ(h->Size, -1);
    EXPECT_EQ(back.PageAt(1)->Size, -2);
    ASSERT_EQ(h->Links.size(), 3u);
    EXPECT_EQ(h->Links[0]->Target, back.PageAt(1));
    EXPECT_TRUE(h->Links[0]->IsStatic);
    EXPECT_EQ(h->Links[0]->Weight, 0.1 + 0.2);  // exactly
    EXPECT_EQ(h->Links[0]->PlanValue, 0.7056);
    EXPECT_EQ(h->Links[1]->Target, h);
    EXPECT_TRUE(h->Links[1]->IsPrefetched);
    EXPECT_EQ(h->Links[1]->Weight, 2.0);
    EXPECT_EQ(h->Links[2]->Target, back.PageAt(2));
    EXPECT_EQ(h->Images, (std::vector<CSiteFile*>{back.FileAt(0)}));
    EXPECT_EQ(back.FileAt(0)->Size, 1234);
    EXPECT_EQ(h->Frames, (std::vector<CSitePage*>{back.PageAt(2)}));
    EXPECT_EQ(h->ForcedPrefetchPages, (std::vector<CSitePage*>{back.PageAt(1), back.PageAt(2)}));
    EXPECT_TRUE(h->ForcePrefetchOrder);
    EXPECT_EQ(h->ViewSamples, 3);
    EXPECT_EQ(h->ViewTimeSum, 60);
    EXPECT_EQ(h->LoadTimeSum, 9);
    EXPECT_EQ(back.FindPage("/INDEX.HTM"), h);

    // Saving what was loaded gives the same bytes.
    ASSERT_TRUE(back.Save((dir / "t.qvs").string()));
    EXPECT_EQ(ReadWholeFile(dir / "s.qvs"), ReadWholeFile(dir / "t.qvs"));
}

TEST_F(StatisticsFileTest, AFailedSaveLeavesTheOldFileWhole) {
    CSiteMap map("index.html");
    map.AddPage("/a.html");
    fs::path file = dir / "keep.qvs";
    ASSERT_TRUE(map.Save(file.string()));
    const std::string before = ReadWholeFile(file);
    for (int i = 0; i < 200; ++i) {
        map.AddPage("/page" + std::to_string(i) + ".html");
    }

    // A disk that fills up: the file-size limit makes every write past 64 bytes fail.
    bool saved = WithFileSizeLimit(64, [&] { return map.Save(file.string()); });
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadWholeFile(file), before);

    // No place to write, or a target that is no regular file: refused, nothing touched.
    EXPECT_FALSE(map.Save((dir / "missing" / "x.qvs").string()));
    EXPECT_FALSE(map.Save(dir.string()));
    EXPECT_FALSE(map.Save("/dev/null"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::vector<std::string>{"keep.qvs"}));  // no temporary files stay behind

    EXPECT_TRUE(map.Save(file.string()));
}

TEST_F(StatisticsFileTest, ReadingTakesAnyOrderAndSkipsUnknownTags) {
    // Items in any order, tags the reader does not know (they carry no value), two page lists,
    // the hit count at file level. A weight or plan value that is not a number costs that value,
    // not the whole graph: it reads as a new link's value.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Bytes file;
    file.I(3).I(1);
    file.I(3).I(77);                                   // file level: no value
    file.I(1).I(1);                                    // first page list: one page
    file.I(8).I(9).I(42).I(1).S("/a.html").I(2).I(2);  // 42: a tag without value
    file.I(3).D(2.5).I(99).I(1).I(1).I(4).B(1).I(0);   // a link with its items out of order
    file.I(3).D(nan).I(5).D(-inf).I(1).I(0).I(0);      // values that are not numbers
    file.I(6).B(1).I(0);
    file.I(4).I(1234);
    file.I(1).I(1);  // second page list: appended
    file.I(1).S("/b.html").I(5).I(2).I(0).I(1).I(0);
    file.I(2).I(1).I(11).I(2).I(77).I(1).S("/x.gif").I(0);
    file.I(0);
    CSiteMap map("index.html");
    bool otherFormat = true;
    ASSERT_TRUE(map.LoadFromMemory(file.text.data(), file.text.size(), &otherFormat));
    EXPECT_FALSE(otherFormat);
    ASSERT_EQ(map.PageCount(), 2);
    CSitePage* a = map.PageAt(0);
    CSitePage* b = map.PageAt(1);
    EXPECT_EQ(a->Name, "/a.html");
    EXPECT_EQ(a->LoadTimeSum, 9);
    EXPECT_TRUE(a->ForcePrefetchOrder);
    ASSERT_EQ(a->Links.size(), 2u);
    EXPECT_EQ(a->Links[0]->Target, b);
    EXPECT_EQ(a->Links[0]->Weight, 2.5);
    EXPECT_TRUE(a->Links[0]->IsPrefetched);
    EXPECT_FALSE(a->Links[0]->IsStatic);
    EXPECT_EQ(a->Links[0]->PlanValue, -1.0);
    EXPECT_EQ(a->Links[1]->Target, a);
    EXPECT_EQ(a->Links[1]->Weight, 0.0);
    EXPECT_EQ(a->Links[1]->PlanValue, -1.0);
    EXPECT_EQ(a->Size, -2);
    EXPECT_EQ(b->ForcedPrefetchPages, (std::vector<CSitePage*>{a, b}));
    ASSERT_EQ(map.FileCount(), 1);
    EXPECT_EQ(map.FileAt(0)->Name, "/x.gif");
    EXPECT_EQ(map.FileAt(0)->Size, 77);
    EXPECT_EQ(map.HitCount, 1234);

    // Another format, or another version, is an empty graph and says so.
    const std::string others[] = {Bytes().I(4).I(1).I(0).text, Bytes().I(3).I(2).text};
    for (const std::string& other : others) {
        ASSERT_TRUE(map.LoadFromMemory(other.data(), other.size(), &otherFormat));
        EXPECT_TRUE(otherFormat);
        EXPECT_EQ(map.PageCount(), 0);
    }
}

// Damaged files are refused and leave the graph as it was: every truncation of a good file, and
// files whose counts, indexes or strings are wrong.
TEST_F(StatisticsFileTest, DamagedFilesAreRefusedAndLeaveTheGraph) {
    CSiteMap good("index.html");
    good.AddPage("/a.html")->GetOrAddLink(good.AddPage("/b.html"))->Weight = 2;
    const std::string bytes = good.Serialize();
    ASSERT_TRUE(CSiteMap("index.html").LoadFromMemory(bytes.data(), bytes.size()));
    struct Case {
        std::string what;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"no end tag", Bytes().I(3).I(1).I(1).I(0).text},
        {"negative page count", Bytes().I(3).I(1).I(1).I(-1).I(0).text},
        {"count beyond the file", Bytes().I(3).I(1).I(2).I(4).I(0).I(0).I(0).text},
        {"link without a target", Bytes().I(3).I(1).I(1).I(1).I(2).I(1).I(0).I(0).I(0).text},
        {"link target one past the list",
         Bytes().I(3).I(1).I(1).I(1).I(2).I(1).I(1).I(1).I(0).I(0).I(0).text},
        {"negative frame index", Bytes().I(3).I(1).I(1).I(1).I(4).I(1).I(-1).I(0).I(0).text},
        {"image index without files", Bytes().I(3).I(1).I(1).I(1).I(3).I(1).I(0).I(0).I(0).text},
        {"forced page outside", Bytes().I(3).I(1).I(1).I(1).I(5).I(1).I(7).I(0).I(0).text},
        {"negative string length", Bytes().I(3).I(1).I(2).I(1).I(1).I(-4).I(0).I(0).text},
        {"string past the end", Bytes().I(3).I(1).I(2).I(1).I(1).I(100).S("ab").text},
        {"value cut short", Bytes().I(3).I(1).I(1).I(1).I(6).text},
        {"forged huge count", Bytes().I({3, 1, 1, 0x7fffffff, 0}).text},
        {"name past the limit",
         Bytes().I({3, 1, 1, 1, 1, 4096}).text + std::string(4096, 'x') + std::string(12, '\0')},
    };
    for (std::size_t n = 0; n < bytes.size(); ++n)
        cases.push_back({"cut at " + std::to_string(n), bytes.substr(0, n)});
    for (const Case& c : cases) {
        CSiteMap map("index.html");
        CSitePage* kept = map.AddPage("/kept.html");
        map.HitCount = 5;
        bool otherFormat = true;
        EXPECT_FALSE(map.LoadFromMemory(c.bytes.data(), c.bytes.size(), &otherFormat)) << c.what;
        EXPECT_FALSE(otherFormat) << c.what;
        ASSERT_EQ(map.PageCount(), 1) << c.what;
        EXPECT_EQ(map.PageAt(0), kept) << c.what;
        EXPECT_EQ(map.FindPage("/kept.html"), kept) << c.what;
        EXPECT_EQ(map.HitCount, 5) << c.what;
    }
    // A missing file.
    CSiteMap map("index.html");
    EXPECT_FALSE(map.Load((dir / "none.qvs").string()));
}

TEST_F(StatisticsFileTest, LongNamesAreCut) {
    CSiteMap map("index.html");
    const std::string longName = "/" + std::string(5000, 'x') + ".html";
    map.AddPage(longName);
    ASSERT_TRUE(map.Save((dir / "l.qvs").string()));
    CSiteMap back("index.html");
    ASSERT_TRUE(back.Load((dir / "l.qvs").string()));
    EXPECT_EQ(back.PageAt(0)->Name, longName.substr(0, 4095));
}

}  // namespace
