#include "agent/BrevDoc.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "AgentTestUtil.h"
#include "agent/SettingsStore.h"
#include "hive/RegistryKey.h"
#include "sitemap/SiteMap.h"

namespace {

using namespace agenttest;

TEST(AgentList, CopiesRemovesAndFinds) {
    CAgentList list;
    CAgentSettings a;
    a.AgentKey = "a 0";
    a.Description = "first";
    a.SiteMap = std::make_unique<CSiteMap>("index.html");
    CAgentSettings* copy = list.AddCopy(a);
    EXPECT_EQ(copy->Description, "first");
    EXPECT_EQ(copy->AgentKey, "a 0");
    EXPECT_EQ(copy->SiteMap, nullptr);  // the copy takes the settings, not the graph
    EXPECT_NE(a.SiteMap, nullptr);

    CAgentSettings b;
    b.AgentKey = "b 0";
    b.SiteMap = std::make_unique<CSiteMap>("index.html");
    CSiteMap* graph = b.SiteMap.get();
    CAgentSettings* moved = list.Add(std::move(b));
    EXPECT_EQ(moved->SiteMap.get(), graph);

    CAgentSettings c;
    c.AgentKey = "c 0";
    CAgentSettings* third = list.AddCopy(c);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.Find("b 0"), moved);
    EXPECT_EQ(list.Find("B 0"), nullptr);  // exact comparison
    EXPECT_EQ(list.IndexOf(third), 2);
    EXPECT_TRUE(list.Remove(moved));
    EXPECT_FALSE(list.Remove(moved));
    EXPECT_FALSE(list.Remove(&c));
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(0), copy);
    EXPECT_EQ(list.GetAt(1), third);
}

class AgentDocumentTest : public ScratchTest {
  protected:
    // Stores an agent as the wizard would and returns its key.
    std::string Store(const std::string& domain, const std::string& description) {
        CAgentSettings a;
        a.DomainName = domain;
        a.Description = description;
        a.RootDirectory = dir.string();
        EXPECT_TRUE(AssignAgentKey(a));
        return a.AgentKey;
    }
    fs::path DefaultWork() const { return dir / "data" / "quorvane" / "tarvik"; }

    RecordingPrompt prompt;
};

TEST_F(AgentDocumentTest, FirstStartWithAnEmptyStore) {
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open());
    EXPECT_EQ(doc.Agents().GetCount(), 0);
    EXPECT_TRUE(doc.WantsFirstAgent());
    EXPECT_EQ(doc.Agents().GetWorkDir(), DefaultWork().string());
    // The per-user data folder is created on first use, private to the user.
    EXPECT_TRUE(fs::is_directory(DefaultWork()));
    EXPECT_EQ(ModeOf(DefaultWork()), 0700u);
    EXPECT_TRUE(doc.Close());
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(AgentDocumentTest, StartUpLoadsAgentsAndStatisticsAndDeletesOrphans) {
    const std::string k1 = Store("b.example", "B");
    const std::string k2 = Store("a.example", "A");
    WriteAll(DefaultWork() / "orphan 3.qvs", "x");
    WriteAll(DefaultWork() / (k1 + ".qvs"), "unreadable");
    {
        CBrevDoc doc(prompt);
        ASSERT_TRUE(doc.Open());
        ASSERT_EQ(doc.Agents().GetCount(), 2);
        // Enumeration order: alphabetical by key.
        EXPECT_EQ(doc.Agents().GetAt(0)->AgentKey, k2);
        EXPECT_EQ(doc.Agents().GetAt(1)->AgentKey, k1);
        EXPECT_EQ(doc.Agents().GetAt(0)->Description, "A");
        for (int i = 0; i < 2; ++i) {
            ASSERT_NE(doc.Agents().GetAt(i)->SiteMap, nullptr);
            EXPECT_NE(doc.Agents().GetAt(i)->SiteMap->GetAccess(), nullptr);
        }
        EXPECT_FALSE(fs::exists(DefaultWork() / "orphan 3.qvs"));
        EXPECT_TRUE(fs::exists(DefaultWork() / (k1 + ".qvs")));
        // An unreadable statistics file at start-up shows nothing.
        EXPECT_TRUE(prompt.messages.empty());
        EXPECT_FALSE(doc.WantsFirstAgent());
    }
    // Closing wrote nothing it did not change: no new file, and the unreadable one is kept.
    EXPECT_FALSE(fs::exists(DefaultWork() / (k2 + ".qvs")));
    EXPECT_EQ(ReadWholeFile(DefaultWork() / (k1 + ".qvs")), "unreadable");
}

TEST_F(AgentDocumentTest, CloseReportsEachStatisticsFileItCannotWriteAndGoesOn) {
    Store("one.example", "One");
    Store("two.example", "Two");
    const fs::path missing = dir / "missing";
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open(missing.string()));
    EXPECT_EQ(doc.Agents().GetWorkDir(), missing.string());
    doc.Agents().GetAt(1)->ProcessTime = "1/2/26 03:04 PM";
    for (int i = 0; i < 2; ++i) {
        doc.Agents().GetAt(i)->SiteMap->AddPage("/new.html");  // only changed graphs are written
    }
    EXPECT_FALSE(doc.Close());
    EXPECT_EQ(
        prompt.messages,
        (std::vector<std::string>{
            "Could not write site statistics file (" + missing.string() + "/one.example 0.qvs)",
            "Could not write site statistics file (" + missing.string() + "/two.example 0.qvs)"}));
    // The settings were saved all the same, and the working directory was not stored.
    SetUserHivePath(regFile.string());
    CAgentSettings back;
    back.AgentKey = "two.example 0";
    ASSERT_TRUE(LoadAgent(back));
    EXPECT_EQ(back.ProcessTime, "1/2/26 03:04 PM");
    EXPECT_EQ(ReadWholeFile(regFile).find("TarvikDir"), std::string::npos);
}

// The removal's question and the selection rules are the main window's tests; here the freed
// key takes its statistics file with it at once, so that a new agent given it in the same session
// starts afresh.
TEST_F(AgentDocumentTest, RemovalTakesTheStatisticsFileAlong) {
    const std::string k1 = Store("x.example", "X site");
    const std::string k2 = Store("y.example", "Y site");
    fs::create_directories(DefaultWork());
    for (const std::string& key : {k1, k2}) {
        ASSERT_TRUE(CSiteMap("index.html").Save((DefaultWork() / (key + ".qvs")).string()));
    }
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open());
    CAgentSettings* x = doc.Agents().Find(k1);
    bool stored = false;
    EXPECT_EQ(doc.RemoveAgents(
                  x, [x](const CAgentSettings& a) { return &a == x; }, &stored),
              1);
    EXPECT_TRUE(stored);
    EXPECT_FALSE(fs::exists(DefaultWork() / (k1 + ".qvs")));
    EXPECT_TRUE(fs::exists(DefaultWork() / (k2 + ".qvs")));
}

TEST_F(AgentDocumentTest, AddingEditingAndOptions) {
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open());
    CAgentSettings fresh;
    fresh.DomainName = "new.example";
    fresh.Description = "New";
    CAgentSettings* added = doc.AddAgent(fresh);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->AgentKey, "new.example 0");
    EXPECT_EQ(doc.Agents().GetCount(), 1);
    LoadStatistics(*added, doc.Agents().GetWorkDir());
    ASSERT_NE(added->SiteMap, nullptr);
    CSiteMap* graph = added->SiteMap.get();

    CAgentSettings edited;
    edited.AssignSettings(*added);
    edited.AgentKey = "ignored";
    edited.Description = "Renamed";
    ASSERT_TRUE(doc.ApplyProperties(*added, edited));
    EXPECT_EQ(added->AgentKey, "new.example 0");
    EXPECT_EQ(added->Description, "Renamed");
    EXPECT_EQ(added->SiteMap.get(), graph);
    SetUserHivePath(regFile.string());
    CAgentSettings back;
    back.AgentKey = "new.example 0";
    ASSERT_TRUE(LoadAgent(back));
    EXPECT_EQ(back.Description, "Renamed");

    std::array<std::string, kSuffixTypeCount> lists;
    for (int i = 0; i < kSuffixTypeCount; ++i)
        lists[static_cast<std::size_t>(i)] = "x\r\n";
    ASSERT_TRUE(doc.ApplyOptions("/tmp/elsewhere", lists));
    EXPECT_EQ(doc.Agents().GetWorkDir(), "/tmp/elsewhere");
    CAgentList stored;
    ASSERT_TRUE(LoadAppValues(stored));
    EXPECT_EQ(stored.GetSuffixList(kSuffixShockwave), "x\r\n");
    EXPECT_EQ(stored.GetWorkDir(), "/tmp/elsewhere");
    doc.Agents().SetWorkDir(DefaultWork().string());
    EXPECT_TRUE(doc.SaveAgentState(*added));
    EXPECT_TRUE(fs::exists(DefaultWork() / "new.example 0.qvs"));
}

}  // namespace
