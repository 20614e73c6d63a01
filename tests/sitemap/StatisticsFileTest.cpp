#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <signal.h>
#include <sys/resource.h>

#include "sitemap/SiteMap.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class StatisticsFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(testing::TempDir()) / "stats";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(StatisticsFileTest, EmptyGraphIsSevenNumbers) {
    CSiteMap map("index.html");
    ASSERT_TRUE(map.Save((dir / "a.qvs").string()));
    const int32_t expected[] = {3, 1, 1, 0, 2, 0, 0};
    std::string bytes = ReadAll(dir / "a.qvs");
    ASSERT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected), sizeof expected));
    CSiteMap back("index.html");
    ASSERT_TRUE(back.Load((dir / "a.qvs").string()));
    EXPECT_EQ(back.PageCount(), 0);
    EXPECT_EQ(back.FileCount(), 0);
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
    home->Images.push_back(img);
    home->Frames.push_back(f);
    home->ForcedPrefetchPages = {b, f};
    home->ForcePrefetchOrder = true;
    home->ViewSamples = 3;
    home->ViewTimeSum = 60;
    home->LoadTimeSum = 9;
    ASSERT_TRUE(map.Save((dir / "s.qvs").string()));

    CSiteMap back("index.html");
    ASSERT_TRUE(back.Load((dir / "s.qvs").string()));
    ASSERT_EQ(back.PageCount(), 3);
    ASSERT_EQ(back.FileCount(), 1);
    CSitePage* h = back.PageAt(0);
    EXPECT_EQ(h->Name, "/index.html");
    EXPECT_EQ(h->Size, -1);
    EXPECT_EQ(back.PageAt(1)->Size, -2);
    ASSERT_EQ(h->Links.size(), 2u);
    EXPECT_EQ(h->Links[0]->Target, back.PageAt(1));
    EXPECT_TRUE(h->Links[0]->IsStatic);
    EXPECT_EQ(h->Links[0]->Weight, 0.1 + 0.2);  // exactly
    EXPECT_EQ(h->Links[0]->PlanValue, 0.7056);
    EXPECT_EQ(h->Links[1]->Target, h);
    EXPECT_TRUE(h->Links[1]->IsPrefetched);
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
    EXPECT_EQ(ReadAll(dir / "s.qvs"), ReadAll(dir / "t.qvs"));
}

TEST_F(StatisticsFileTest, PageRecordStartsWithNameThenSize) {
    CSiteMap map("index.html");
    map.AddPage("/index.html");
    ASSERT_TRUE(map.Save((dir / "p.qvs").string()));
    std::string bytes = ReadAll(dir / "p.qvs");
    // 3, 1, tag 1, count 1, then the page: 1, 11, "/index.html", 9, -2
    const int32_t head[] = {3, 1, 1, 1, 1, 11};
    ASSERT_GE(bytes.size(), sizeof head + 11 + 8);
    EXPECT_EQ(bytes.substr(0, sizeof head),
              std::string(reinterpret_cast<const char*>(head), sizeof head));
    EXPECT_EQ(bytes.substr(sizeof head, 11), "/index.html");
    const int32_t size[] = {9, -2};
    EXPECT_EQ(bytes.substr(sizeof head + 11, 8),
              std::string(reinterpret_cast<const char*>(size), sizeof size));
}

TEST_F(StatisticsFileTest, CorruptFilesFailAndLeaveTheGraph) {
    CSiteMap good("index.html");
    CSitePage* a = good.AddPage("/a.html");
    a->GetOrAddLink(good.AddPage("/b.html"))->Weight = 2;
    ASSERT_TRUE(good.Save((dir / "g.qvs").string()));
    const std::string bytes = ReadAll(dir / "g.qvs");

    auto load = [](const std::string& data) {
        CSiteMap map("index.html");
        map.AddPage("/kept.html");
        bool ok = map.LoadFromMemory(data.data(), data.size());
        return std::make_pair(ok, map.PageCount());
    };
    // Every truncation fails and leaves the graph as it was.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        auto [ok, pages] = load(bytes.substr(0, n));
        EXPECT_FALSE(ok) << "cut at " << n;
        EXPECT_EQ(pages, 1) << "cut at " << n;
    }
    EXPECT_EQ(load(bytes), std::make_pair(true, 2));

    // A forged count far beyond the file, a link target outside the list.
    const int32_t hugeCount[] = {3, 1, 1, 0x7fffffff, 0};
    EXPECT_FALSE(load(std::string(reinterpret_cast<const char*>(hugeCount), sizeof hugeCount)).first);
    const int32_t badTarget[] = {3, 1, 1, 1, 2, 1, 1, 5, 0, 0, 0};
    EXPECT_FALSE(load(std::string(reinterpret_cast<const char*>(badTarget), sizeof badTarget)).first);
    const int32_t longName[] = {3, 1, 1, 1, 1, 4096};
    EXPECT_FALSE(load(std::string(reinterpret_cast<const char*>(longName), sizeof longName) +
                      std::string(4096, 'x') + std::string(12, '\0'))
                     .first);
    // Another format loads as an empty graph.
    const int32_t other[] = {4, 1, 0};
    EXPECT_EQ(load(std::string(reinterpret_cast<const char*>(other), sizeof other)),
              std::make_pair(true, 0));
}

TEST_F(StatisticsFileTest, AFailedSaveLeavesTheOldFileWhole) {
    CSiteMap map("index.html");
    map.AddPage("/a.html");
    fs::path file = dir / "keep.qvs";
    ASSERT_TRUE(map.Save(file.string()));
    const std::string before = ReadAll(file);
    for (int i = 0; i < 200; ++i) {
        map.AddPage("/page" + std::to_string(i) + ".html");
    }

    // A disk that fills up: the file-size limit makes every write past 64 bytes fail.
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    bool saved = map.Save(file.string());
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(file), before);

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

    ASSERT_TRUE(map.Save(file.string()));
    CSiteMap back("index.html");
    ASSERT_TRUE(back.Load(file.string()));
    EXPECT_EQ(back.PageCount(), 201);
}

}  // namespace
