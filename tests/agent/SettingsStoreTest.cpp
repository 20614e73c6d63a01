#include "agent/SettingsStore.h"

#include <gtest/gtest.h>

#include "AgentTestUtil.h"
#include "agent/AgentFields.h"
#include "agent/AgentList.h"
#include "base/LastMessage.h"
#include "hive/RegistryKey.h"
#include "sitemap/SiteMap.h"

namespace {

using namespace agenttest;

class SettingsStoreTest : public ScratchTest {
  protected:
    // A record with every field away from its default.
    static CAgentSettings Unusual(const std::string& key) {
        CAgentSettings a;
        a.AgentKey = key;
        a.Description = "Shop \"main\" \\ site";
        a.DomainName = "shop.example.com";
        a.SiteFileType = kSiteHttp;
        a.RootDirectory = "/srv/www/shop";
        a.HomePage = "start.htm";
        a.FilesDirectory = "/agent";
        a.ignoreLogFile = true;
        a.LogFile = "/var/log/" + std::string(3000, 'd') + "/access-*.log";  // past any buffer
        a.LogFromat = 8;
        a.StatWeight = 3;
        a.StatRange = kRangeSpecify;
        a.CacheHTML = false;
        a.CacheImages = false;
        a.CacheASP = true;
        a.CacheCGI = true;
        a.CacheAudio = false;
        a.CacheVideo = false;
        a.CacheJava = true;
        a.CacheShockwave = true;
        a.CacheSuffix = ".pdf, .exe";
        a.CachePageLimit = -5;
        a.isPageLimit = true;
        a.CacheKBLimit = 999999;
        a.isKBLimit = true;
        a.StartTime = 1000000000;
        a.EndTime = 4000000000;  // past 2038: the stored double word is unsigned
        a.ProcessTime = "3/7/26 09:15 PM";
        a.IsProcessed = true;
        a.IsBackup = false;
        a.IsBackupModified = false;
        a.BackupDir = "/backups/shop.zip";
        a.StatAccumulate = true;
        a.IsDynamicSite = true;
        a.IsShowPrefetch = true;
        a.IsScriptPrefetch = true;
        a.Username = "ftp user";
        a.Password = "p\xC3\xA4ss\nword";
        return a;
    }

    static void ExpectSameFields(const CAgentSettings& a, const CAgentSettings& b) {
        for (const AgentField* f = kAgentFields; f->name != nullptr; ++f) {
            EXPECT_EQ(FormatAgentField(*f, a), FormatAgentField(*f, b)) << f->name;
        }
        EXPECT_EQ(a.StartTime, b.StartTime);
        EXPECT_EQ(a.EndTime, b.EndTime);
    }

    // Forgets the hive's snapshot, as a new process would start.
    void Restart() { SetUserHivePath(regFile.string()); }
};

TEST_F(SettingsStoreTest, EveryFieldSurvivesSaveAndLoadWrittenInOneWrite) {
    CAgentSettings saved = Unusual("k 0");
    const int writes = UserHive().WriteCount();
    ASSERT_TRUE(SaveAgent(saved));
    EXPECT_EQ(UserHive().WriteCount(), writes + 1);
    const std::string text = ReadWholeFile(regFile);
    EXPECT_NE(text.find("\"SiteFileType\"=\"Ftp\""), std::string::npos);
    EXPECT_NE(text.find("\"StatRange\"=\"Specify Range\""), std::string::npos);
    EXPECT_NE(text.find("\"CachePageLimit\"=dword:fffffffb"), std::string::npos);
    EXPECT_NE(text.find("\"EndTime\"=dword:ee6b2800"), std::string::npos);
    EXPECT_EQ(text.find("ftp user\"\n\"Password\"=\"p"), std::string::npos);  // encoded
    Restart();
    CAgentSettings loaded;
    loaded.AgentKey = "k 0";
    ASSERT_TRUE(LoadAgent(loaded));
    ExpectSameFields(saved, loaded);

    CAgentSettings keyless;
    EXPECT_FALSE(SaveAgent(keyless));
    EXPECT_EQ(ReadWholeFile(regFile), text);
}

TEST_F(SettingsStoreTest, LoadKeepsFieldsThatCannotBeReadAndZeroesBadEnumerations) {
    WriteHive("[" + kProduct +
              "\\hand 0]\n"
              "\"Description\"=\"by hand\"\n"
              "\"DomainName\"=dword:00000001\n"
              "\"SiteFileType\"=\"Http\"\n"
              "\"LogFromat\"=\"no such format\"\n"
              "\"StatRange\"=\"LAST month\"\n"
              "\"CacheHTML\"=\"FALSE\"\n"
              "\"CacheVideo\"=\"yes\"\n"
              "\"CachePageLimit\"=\"7\"\n"
              "\"CacheKBLimit\"=dword:00000010\n"
              "\"StartTime\"=\"1000\"\n"
              "\"Password\"=\"not encoded\"\n");
    CAgentSettings a;
    const time_t defaultStart = a.StartTime;
    a.AgentKey = "hand 0";
    a.DomainName = "kept.example";
    a.LogFromat = 5;
    a.StatWeight = 2;  // absent: an enumeration that cannot be read becomes 0
    a.Password = "kept";
    ASSERT_TRUE(LoadAgent(a));
    EXPECT_EQ(a.Description, "by hand");
    EXPECT_EQ(a.DomainName, "kept.example");
    EXPECT_EQ(a.SiteFileType, kSiteFtp);
    EXPECT_EQ(a.LogFromat, 0);
    EXPECT_EQ(a.StatRange, kRangeLastMonth);
    EXPECT_EQ(a.StatWeight, 0);
    EXPECT_FALSE(a.CacheHTML);
    EXPECT_FALSE(a.CacheVideo);
    EXPECT_EQ(a.CachePageLimit, 2);
    EXPECT_EQ(a.CacheKBLimit, 16);
    EXPECT_EQ(a.StartTime, defaultStart);
    EXPECT_EQ(a.Password, "kept");
    EXPECT_EQ(a.HomePage, "index.html");  // absent: unchanged
}

TEST_F(SettingsStoreTest, KeysAreNumberedAndNumbersReused) {
    CAgentSettings a;
    a.DomainName = "www.example.com";
    ASSERT_TRUE(AssignAgentKey(a));
    EXPECT_EQ(a.AgentKey, "www.example.com 0");
    CAgentSettings b;
    b.DomainName = "www.example.com";
    ASSERT_TRUE(AssignAgentKey(b));
    EXPECT_EQ(b.AgentKey, "www.example.com 1");
    ASSERT_TRUE(DeleteAgent(a));
    EXPECT_FALSE(DeleteAgent(a));
    CAgentSettings c;
    c.DomainName = "www.example.com";
    ASSERT_TRUE(AssignAgentKey(c));
    EXPECT_EQ(c.AgentKey, "www.example.com 0");

    // Key names compare without regard to case: a differently cased domain gets a free number
    // instead of the key of another agent.
    CAgentSettings d;
    d.DomainName = "WWW.Example.COM";
    ASSERT_TRUE(AssignAgentKey(d));
    EXPECT_EQ(d.AgentKey, "WWW.Example.COM 2");

    // A domain with a path stays one key and one file name.
    CAgentSettings e;
    e.DomainName = "http://host/app\\x";
    ASSERT_TRUE(AssignAgentKey(e));
    EXPECT_EQ(e.AgentKey, "http:__host_app_x 0");

    StringList keys;
    ASSERT_TRUE(ListAgentKeys(keys));
    EXPECT_EQ(keys, (StringList{"http:__host_app_x 0", "www.example.com 0", "www.example.com 1",
                                "WWW.Example.COM 2"}));

    // No settings file that can be read: no key, nothing written.
    fs::remove(regFile);
    fs::create_directories(regFile);
    SetUserHivePath(regFile.string());
    CAgentSettings f;
    f.DomainName = "x";
    f.AgentKey = "stale";
    EXPECT_FALSE(AssignAgentKey(f));
    EXPECT_EQ(f.AgentKey, "");
}

TEST_F(SettingsStoreTest, StatisticsFileAndResumeState) {
    EXPECT_EQ(StatisticsFileName("/data/work/", "k 0"), "/data/work/k 0.qvs");
    EXPECT_EQ(StatisticsFileName("\\data\\work", "k 0"), "/data/work/k 0.qvs");
    EXPECT_EQ(StatisticsFileName("rel", "k 0"), "rel/k 0.qvs");
    EXPECT_EQ(StatisticsFileName("", "k 0"), "k 0.qvs");

    CAgentSettings a;
    a.AgentKey = "site 0";
    a.RootDirectory = dir.string();
    ASSERT_TRUE(SaveAgent(a));
    const std::string work = workDir.string();
    const fs::path file = workDir / "site 0.qvs";

    ASSERT_TRUE(SaveStatistics(a, work));
    EXPECT_FALSE(fs::exists(file));

    // A missing file: the message, and a fresh graph with no resume state.
    SetLastMessageText("");
    EXPECT_FALSE(LoadStatistics(a, work));
    EXPECT_EQ(GetLastMessage(), "Could not read site statistics file (" + file.string() + ")");
    ASSERT_NE(a.SiteMap, nullptr);
    EXPECT_NE(a.SiteMap->GetAccess(), nullptr);
    EXPECT_EQ(a.SiteMap->LastLogPosition, -1);

    a.SiteMap->AddPage("/index.html");
    a.SiteMap->LastLogFile = "/var/log/ex12.log";
    a.SiteMap->LastLogPosition = 5000000000;  // past 4 GiB
    a.SiteMap->LastLogNumber = 12;
    ASSERT_TRUE(SaveStatistics(a, work));
    EXPECT_TRUE(fs::exists(file));

    // A later process: the graph and where log analysis stopped both come back.
    Restart();
    CAgentSettings b;
    b.AgentKey = "site 0";
    ASSERT_TRUE(LoadAgent(b));
    ASSERT_TRUE(LoadStatistics(b, work));
    EXPECT_EQ(b.SiteMap->PageCount(), 1);
    EXPECT_EQ(b.SiteMap->LastLogFile, "/var/log/ex12.log");
    EXPECT_EQ(b.SiteMap->LastLogPosition, 5000000000);
    EXPECT_EQ(b.SiteMap->LastLogNumber, 12);

    // A file that cannot be written keeps the stored resume state as it was (the message: the
    // document's Close case).
    b.SiteMap->LastLogNumber = 99;
    EXPECT_FALSE(SaveStatistics(b, (dir / "missing").string()));
    CRegistryKey key;
    ASSERT_TRUE(key.Open(UserHive(), AgentKeyPath("site 0")));
    uint32_t number = 0;
    ASSERT_TRUE(key.GetNumber(kLastLogNumberValue, number));
    EXPECT_EQ(number, 12u);
}

// The other rules of the names: the start-up case of the document tests.
TEST_F(SettingsStoreTest, AnAgentAnotherProcessHasJustStoredKeepsItsStatistics) {
    CAgentList list;
    list.SetWorkDir(workDir.string());
    CAgentSettings other;
    other.AgentKey = "other process 0";
    ASSERT_TRUE(SaveAgent(other));
    WriteAll(workDir / "other process 0.qvs", "x");
    WriteAll(workDir / "orphan 0.qvs", "x");
    RemoveOrphanStatistics(list);
    EXPECT_TRUE(fs::exists(workDir / "other process 0.qvs"));
    EXPECT_FALSE(fs::exists(workDir / "orphan 0.qvs"));
}

TEST_F(SettingsStoreTest, ApplicationValues) {
    // An empty store: the defaults (a list changed in memory goes back to its default).
    CAgentList list;
    list.SetSuffixList(kSuffixHTML, "changed");
    ASSERT_TRUE(LoadAppValues(list));
    EXPECT_EQ(list.GetSuffixList(kSuffixHTML), kSuffixDefaults[kSuffixHTML]);

    WriteHive("[" + kProduct +
              "]\n"
              "\"HTML Files\"=\"\"\n"
              "\"ASP Files\"=dword:00000001\n"
              "\"Java Files\"=hex(1):6a,00,73,00,0d,00,0a,00,00,00\n"
              "\"TarvikDir\"=\"/srv/tarvik\"\n"
              "\"AsciiPrefetch\"=\"\"\n");
    ASSERT_TRUE(LoadAppValues(list));
    EXPECT_EQ(list.GetSuffixList(kSuffixHTML), "");
    EXPECT_EQ(list.GetSuffixList(kSuffixASP), "asp\r\n");
    EXPECT_EQ(list.GetSuffixList(kSuffixJava), "js\r\n");
    EXPECT_EQ(list.GetWorkDir(), "/srv/tarvik");
    EXPECT_TRUE(list.GetAscii());

    WriteHive("[" + kProduct + "]\n\"AsciiPrefetch\"=dword:00000001\n");
    ASSERT_TRUE(LoadAppValues(list));
    EXPECT_FALSE(list.GetAscii());

    // Only what is flagged as changed goes to the store, in one write.
    list.SetSuffixList(kSuffixVideo, "mkv\r\nwebm\r\n");
    list.SetSuffixList(kSuffixAudio, "not stored");
    list.SetWorkDir("/not/stored");
    std::array<bool, kSuffixTypeCount> changed{};
    changed[kSuffixVideo] = true;
    const int writes = UserHive().WriteCount();
    ASSERT_TRUE(SaveAppValues(list, false, changed));
    EXPECT_EQ(UserHive().WriteCount(), writes + 1);
    Restart();
    CAgentList back;
    ASSERT_TRUE(LoadAppValues(back));
    EXPECT_EQ(back.GetSuffixList(kSuffixVideo), "mkv\r\nwebm\r\n");
    EXPECT_EQ(back.GetSuffixList(kSuffixAudio), kSuffixDefaults[kSuffixAudio]);
    EXPECT_EQ(back.GetWorkDir(), DefaultWorkDir());
}

}  // namespace
