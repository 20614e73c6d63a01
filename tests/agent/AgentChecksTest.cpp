#include "agent/AgentChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "AgentTestUtil.h"
#include "support/TempDir.h"

namespace {

using namespace agenttest;

class AgentChecksTest : public testing::Test {
  protected:
    void SetUp() override {
        site = dir / "site";
        fs::create_directories(site / "tarvik");
        WriteAll(site / "index.html", "<html></html>");
        WriteAll(site / "readonly.html", "<html></html>");
        fs::permissions(site / "readonly.html", fs::perms(0444));
        WriteAll(site / "agentfile", "x");
        fs::create_directories(site / "rodir");
        fs::permissions(site / "rodir", fs::perms(0555));
        WriteAll(dir / "logs" / "ex1.log", "x");
        WriteAll(dir / "logs" / "ex2.log", "x");
        fs::create_directories(dir / "logs" / "dir.log");
        WriteAll(dir / "backup" / "old.zip", "x");
        WriteAll(dir / "backup" / "locked.zip", "x");
        fs::permissions(dir / "backup" / "locked.zip", fs::perms(0444));
    }
    void TearDown() override {
        fs::permissions(site / "rodir", fs::perms(0755));  // so that the scratch can go
    }

    struct Outcome {
        bool passed;
        std::vector<std::string> messages;
        std::vector<std::string> questions;
    };

    // Runs one check with the given answers to its questions.
    static Outcome Run(const std::function<bool(CUserPrompt&)>& check,
                       std::deque<bool> answers = {}) {
        RecordingPrompt prompt;
        prompt.answers = std::move(answers);
        prompt.defaultAnswer = false;
        Outcome o;
        o.passed = check(prompt);
        o.messages = prompt.messages;
        o.questions = prompt.questions;
        for (const std::string& caption : prompt.captions)
            EXPECT_EQ(caption, "Directory not found");
        return o;
    }

    std::string S(const fs::path& p) const { return p.string(); }

    CTempDir scratch{"agent_checks"};
    fs::path dir = scratch.Path();
    fs::path site;
};

using Msgs = std::vector<std::string>;

TEST_F(AgentChecksTest, DomainPage) {
    EXPECT_EQ(Run([](CUserPrompt& p) { return CheckDomainPage("", "", p); }).messages,
              Msgs{"Please specify your site description"});
    EXPECT_EQ(Run([](CUserPrompt& p) { return CheckDomainPage("d", "", p); }).messages,
              Msgs{"Please specify your domain name"});
    EXPECT_TRUE(Run([](CUserPrompt& p) { return CheckDomainPage("d", "x.com", p); }).passed);
}

TEST_F(AgentChecksTest, LocationPage) {
    const std::string root = S(site);
    std::string backslashRoot = root + "\\";
    std::replace(backslashRoot.begin(), backslashRoot.end(), '/', '\\');
    struct Case {
        const char* what;
        int32_t type;
        std::string root, home, files;
        std::deque<bool> answers;
        bool passed;
        Msgs messages;
        Msgs questions;
    } cases[] = {
        {"ftp passes unchecked", kSiteFtp, "", "", "", {}, true, {}, {}},
        {"http passes unchecked", kSiteHttp, "", "", "", {}, true, {}, {}},
        {"no root",
         kSiteLocal,
         "",
         "index.html",
         "tarvik",
         {},
         false,
         {"Please specify your site's root directory"},
         {}},
        {"no home page",
         kSiteLocal,
         root,
         "/",
         "tarvik",
         {},
         false,
         {"Please specify your home page file name"},
         {}},
        {"home page missing",
         kSiteLocal,
         root,
         "missing.html",
         "tarvik",
         {},
         false,
         {"Home page file \"" + root + "/missing.html\" not found"},
         {}},
        {"home page read only",
         kSiteLocal,
         root,
         "readonly.html",
         "tarvik",
         {},
         false,
         {"Home page file \"" + root + "/readonly.html\" has a read only attribute"},
         {}},
        {"backslashes", kSiteLocal, backslashRoot, "\\index.html", "\\tarvik\\", {}, true, {}, {}},
        {"agent dir is a file",
         kSiteLocal,
         root,
         "index.html",
         "agentfile",
         {},
         false,
         {"\"" + root + "/agentfile\" is not a directory name"},
         {}},
        {"agent dir read only",
         kSiteLocal,
         root,
         "index.html",
         "/rodir",
         {},
         false,
         {"Directory \"" + root + "/rodir\" has a read only attribute"},
         {}},
        {"agent dir missing, No",
         kSiteLocal,
         root,
         "index.html",
         "newdir",
         {false},
         false,
         {},
         {"Agent directory \"" + root + "/newdir\" does not exist. Create directory?"}},
        {"agent dir missing, Yes",
         kSiteLocal,
         root,
         "index.html",
         "new/sub",
         {true},
         true,
         {},
         {"Agent directory \"" + root + "/new/sub\" does not exist. Create directory?"}},
        {"agent dir cannot be created",
         kSiteLocal,
         root,
         "index.html",
         "index.html/sub",
         {true},
         false,
         {"Could not create directory \"" + root + "/index.html/sub\""},
         {"Agent directory \"" + root + "/index.html/sub\" does not exist. Create directory?"}},
    };
    for (const Case& c : cases) {
        Outcome o = Run(
            [&](CUserPrompt& p) { return CheckLocationPage(c.type, c.root, c.home, c.files, p); },
            c.answers);
        EXPECT_EQ(o.passed, c.passed) << c.what;
        EXPECT_EQ(o.messages, c.messages) << c.what;
        EXPECT_EQ(o.questions, c.questions) << c.what;
    }
    EXPECT_TRUE(fs::is_directory(site / "new" / "sub"));
    EXPECT_FALSE(fs::exists(site / "newdir"));
}

TEST_F(AgentChecksTest, DynamicLocationPage) {
    EXPECT_EQ(
        Run([&](CUserPrompt& p) { return CheckDynamicLocationPage("", S(site), p); }).messages,
        Msgs{"Please specify your home page file name"});
    EXPECT_TRUE(Run([&](CUserPrompt& p) {
                    return CheckDynamicLocationPage("/", S(site / "tarvik"), p);
                }).messages.size() == 1);
    EXPECT_TRUE(Run([&](CUserPrompt& p) {
                    return CheckDynamicLocationPage("index.asp", S(site / "tarvik") + "/", p);
                }).passed);
    Outcome o = Run(
        [&](CUserPrompt& p) { return CheckDynamicLocationPage("index.asp", S(dir / "dyn"), p); },
        {true});
    EXPECT_TRUE(o.passed);
    EXPECT_EQ(o.questions,
              Msgs{"Agent directory \"" + S(dir / "dyn") + "\" does not exist. Create directory?"});
    EXPECT_TRUE(fs::is_directory(dir / "dyn"));
}

TEST_F(AgentChecksTest, LogPage) {
    const std::string logs = S(dir / "logs");
    struct Case {
        bool ignore;
        std::string text;
        Msgs messages;
    } cases[] = {
        {true, "", {}},
        {false, "", {"Please specify your log file location"}},
        {false, " ; , ", {"Please specify your log file location"}},
        {false, logs + "/ex*.log", {}},
        {false, logs + "/none.log; " + logs + "/ex2.log", {}},
        {false, logs + "\\ex1.log", {}},
        {false,
         logs + "/a.log; " + logs + "/b.log",
         {"Log file(s) \"" + logs + "/a.log; " + logs + "/b.log\" not found"}},
        // Only a directory matches: no log file.
        {false, logs + "/dir.*", {"Log file(s) \"" + logs + "/dir.*\" not found"}},
    };
    for (const Case& c : cases) {
        Outcome o = Run([&](CUserPrompt& p) { return CheckLogPage(c.ignore, c.text, p); });
        EXPECT_EQ(o.passed, c.messages.empty()) << c.text;
        EXPECT_EQ(o.messages, c.messages) << c.text;
    }
}

TEST_F(AgentChecksTest, SizeLimitPage) {
    EXPECT_TRUE(Run([](CUserPrompt& p) { return CheckSizeLimitPage(0, 999999, p); }).passed);
    EXPECT_EQ(Run([](CUserPrompt& p) { return CheckSizeLimitPage(1000000, 1, p); }).messages,
              Msgs{"CachePageLimit: please enter an integer between 0 and 999999."});
    EXPECT_EQ(Run([](CUserPrompt& p) { return CheckSizeLimitPage(2, -1, p); }).messages,
              Msgs{"CacheKBLimit: please enter an integer between 0 and 999999."});
}

TEST_F(AgentChecksTest, BackupPage) {
    const std::string b = S(dir / "backup");
    const std::string root = S(site);
    struct Case {
        bool isBackup;
        std::string file;
        std::deque<bool> answers;
        bool passed;
        Msgs messages;
        Msgs questions;
    } cases[] = {
        {false, "", {}, true, {}, {}},
        {true, "", {}, false, {"Please specify backup (.zip) file name"}, {}},
        {true,
         b + "/site.tar",
         {},
         false,
         {"File (" + b + "/site.tar) extension must be .ZIP"},
         {}},
        {true, b + "/SITE.ZIP", {}, true, {}, {}},
        {true, b + "/old.zip", {}, true, {}, {}},
        {true,
         b + "/locked.zip",
         {},
         false,
         {"Zip directory \"" + b + "/locked.zip\" has a read only attribute."},
         {}},
        {true,
         root + "/index.html/b.zip",
         {},
         false,
         {"Zip directory \"" + root + "/index.html\" is not a directory name"},
         {}},
        {true,
         root + "/rodir/b.zip",
         {},
         false,
         {"Zip directory \"" + root + "/rodir\" has a read only attribute."},
         {}},
        {true,
         b + "/new/b.zip",
         {false},
         false,
         {},
         {"Backup directory \"" + b + "/new\" does not exist. Create directory?"}},
        {true,
         b + "\\made\\b.zip",
         {true},
         true,
         {},
         {"Backup directory \"" + b + "/made\" does not exist. Create directory?"}},
        {true,
         root + "/agentfile/x/b.zip",
         {true},
         false,
         {"Could not create directory \"" + root + "/agentfile/x\""},
         {"Backup directory \"" + root + "/agentfile/x\" does not exist. Create directory?"}},
    };
    for (const Case& c : cases) {
        Outcome o =
            Run([&](CUserPrompt& p) { return CheckBackupPage(c.isBackup, c.file, p); }, c.answers);
        EXPECT_EQ(o.passed, c.passed) << c.file;
        EXPECT_EQ(o.messages, c.messages) << c.file;
        EXPECT_EQ(o.questions, c.questions) << c.file;
    }
    EXPECT_TRUE(fs::is_directory(dir / "backup" / "made"));
}

TEST_F(AgentChecksTest, AllPagesInOrder) {
    CAgentSettings a;
    a.Description = "d";
    a.DomainName = "x.com";
    a.RootDirectory = S(site);
    a.LogFile = S(dir / "logs" / "ex1.log");
    a.BackupDir = S(dir / "backup" / "b.zip");
    EXPECT_TRUE(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).passed);

    a.BackupDir = "";
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"Please specify backup (.zip) file name"});
    a.CaFile = S(dir / "missing.pem");  // before the later pages
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"Certificate file \"" + a.CaFile + "\" cannot be read"});
    a.CaFile = a.LogFile;  // any readable file: its contents are libcurl's to judge
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"Please specify backup (.zip) file name"});
    // A dynamic site has no backup page; its agent directory is a local one.
    a.IsDynamicSite = true;
    a.FilesDirectory = S(site / "tarvik");
    EXPECT_TRUE(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).passed);
    a.CacheKBLimit = 1000000;
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"CacheKBLimit: please enter an integer between 0 and 999999."});
    a.LogFile = "";
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"Please specify your log file location"});
    a.ignoreLogFile = true;
    a.HomePage = "";
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"Please specify your home page file name"});
    a.Description = "";
    EXPECT_EQ(Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }).messages,
              Msgs{"Please specify your site description"});
}

TEST(AgentPaths, NormalizedAsTheSheetStoresThem) {
    CAgentSettings a;
    a.RootDirectory = "\\srv\\www\\";
    a.HomePage = "\\pages\\index.html";
    a.FilesDirectory = "tarvik/";
    a.LogFile = "/var/log/";
    a.BackupDir = "backups\\site.zip";
    NormalizeAgentPaths(a);
    EXPECT_EQ(a.RootDirectory, "/srv/www");
    EXPECT_EQ(a.HomePage, "pages/index.html");
    EXPECT_EQ(a.FilesDirectory, "/tarvik");
    EXPECT_EQ(a.LogFile, "/var/log");
    EXPECT_EQ(a.BackupDir, "backups/site.zip");
    NormalizeAgentPaths(a);  // stable
    EXPECT_EQ(a.FilesDirectory, "/tarvik");

    CAgentSettings ftp;
    ftp.SiteFileType = kSiteFtp;
    ftp.RootDirectory = "/htdocs/";
    NormalizeAgentPaths(ftp);
    EXPECT_EQ(ftp.RootDirectory, "htdocs");

    CAgentSettings dyn;
    dyn.IsDynamicSite = true;
    dyn.FilesDirectory = "/var/www/agent/";
    NormalizeAgentPaths(dyn);
    EXPECT_EQ(dyn.FilesDirectory, "/var/www/agent");
}

}  // namespace
