#include "agent/BrevDoc.h"

#include <gtest/gtest.h>

#include "AgentTestUtil.h"
#include "agent/SettingsStore.h"
#include "sitemap/SiteMap.h"

namespace {

using namespace agenttest;

TEST(AgentList, CopiesRemovesAndFinds) {
    CAgentList list;
    CAgentSettings a;
    a.AgentKey = "a 0";
    a.SiteMap = std::make_unique<CSiteMap>("index.html");
    CAgentSettings* copy = list.AddCopy(a);
    EXPECT_EQ(copy->SiteMap, nullptr);  // the copy takes the settings, not the graph
    EXPECT_NE(a.SiteMap, nullptr);
    a.AgentKey = "b 0";
    CAgentSettings* second = list.AddCopy(a);
    EXPECT_EQ(list.Find("b 0"), second);
    EXPECT_EQ(list.Find("B 0"), nullptr);  // exact comparison
    EXPECT_EQ(list.IndexOf(second), 1);
    EXPECT_TRUE(list.Remove(copy));
    EXPECT_FALSE(list.Remove(copy));
    EXPECT_FALSE(list.Remove(&a));
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(0), second);
}

class AgentDocumentTest : public ScratchTest {
  protected:
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

// The order of the list, and an unreadable statistics file neither shown nor replaced: the
// command transcripts. The removal's question and the selection rules are the main window's
// tests; here the freed key takes its statistics file with it at once, so that a new agent given
// it in the same session starts afresh.
TEST_F(AgentDocumentTest, StartUpDeletesOrphansAndRemovalTakesTheStatisticsFileAlong) {
    const std::string k1 = Store("x.example", "X site");
    const std::string k2 = Store("y.example", "Y site");
    for (const char* other : {"orphan 3.qvs", "X.EXAMPLE 0.qvs", "notes.txt"})
        WriteAll(DefaultWork() / other, "x");
    for (const std::string& key : {k1, k2}) {
        ASSERT_TRUE(CSiteMap("index.html").Save((DefaultWork() / (key + ".qvs")).string()));
    }
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open());
    EXPECT_FALSE(fs::exists(DefaultWork() / "orphan 3.qvs"));
    EXPECT_FALSE(fs::exists(DefaultWork() / "X.EXAMPLE 0.qvs"));  // names compare exactly
    EXPECT_TRUE(fs::exists(DefaultWork() / "notes.txt"));
    EXPECT_FALSE(doc.WantsFirstAgent());
    CAgentSettings* x = doc.Agents().Find(k1);
    ASSERT_NE(x->SiteMap, nullptr);
    EXPECT_NE(x->SiteMap->GetAccess(), nullptr);
    bool stored = false;
    EXPECT_EQ(doc.RemoveAgents(
                  x, [x](const CAgentSettings& a) { return &a == x; }, &stored),
              1);
    EXPECT_TRUE(stored);
    EXPECT_FALSE(fs::exists(DefaultWork() / (k1 + ".qvs")));
    EXPECT_TRUE(fs::exists(DefaultWork() / (k2 + ".qvs")));
}

TEST_F(AgentDocumentTest, CloseReportsEachStatisticsFileItCannotWriteAndGoesOn) {
    Store("one.example", "One");
    Store("two.example", "Two");
    const fs::path missing = dir / "missing";
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open(missing.string()));
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
    // The settings were saved all the same.
    SetUserHivePath(regFile.string());
    CAgentSettings back;
    back.AgentKey = "two.example 0";
    ASSERT_TRUE(LoadAgent(back));
    EXPECT_EQ(back.ProcessTime, "1/2/26 03:04 PM");
}

TEST_F(AgentDocumentTest, AddingAndEditing) {
    CBrevDoc doc(prompt);
    ASSERT_TRUE(doc.Open());
    // An empty store: the first agent is wanted, and the per-user data folder is made private.
    EXPECT_TRUE(doc.WantsFirstAgent());
    EXPECT_EQ(doc.Agents().GetWorkDir(), DefaultWork().string());
    EXPECT_EQ(fs::status(DefaultWork()).permissions(), fs::perms::owner_all);
    CAgentSettings fresh;
    fresh.DomainName = "new.example";
    CAgentSettings* added = doc.AddAgent(fresh);
    ASSERT_NE(added, nullptr);
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
    SetUserHivePath(regFile.string());  // stored at once, as another process sees it
    CAgentSettings back;
    back.AgentKey = "new.example 0";
    ASSERT_TRUE(LoadAgent(back));
    EXPECT_EQ(back.Description, "Renamed");

    EXPECT_TRUE(doc.SaveAgentState(*added));
    EXPECT_TRUE(fs::exists(DefaultWork() / "new.example 0.qvs"));
    EXPECT_TRUE(doc.Close());
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_TRUE(prompt.messages.empty());
}

}  // namespace
