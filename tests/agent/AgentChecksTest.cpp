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

    struct Outcome {
        bool passed;
        std::vector<std::string> messages;
        std::vector<std::string> questions;
    };

    // Runs a check, answering its questions with yes or no.
    static Outcome Run(const std::function<bool(CUserPrompt&)>& check, bool yes = false) {
        RecordingPrompt prompt;
        prompt.answer = yes;
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

std::string Sub(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at; (at = text.find(from)) != std::string::npos;)
        text.replace(at, from.size(), to);
    return text;
}
Msgs Listed(const std::string& text) {
    return text.empty() ? Msgs{} : Msgs{text};
}

// The refusals the wizard's test rows show through the sheets are not repeated here.
// Rows: "$R" stands for the site root; answer 'y'/'n' to the question asked, or ' '.
TEST_F(AgentChecksTest, LocationPage) {
    const int32_t kDynamic = -1;
    const std::string root = S(site);
    std::string backslashRoot = root + "\\";
    std::replace(backslashRoot.begin(), backslashRoot.end(), '/', '\\');
    const std::string ask = "Agent directory \"$R/";
    const std::string create = "\" does not exist. Create directory?";
    struct Case {
        int32_t type;
        std::string root, home, files;
        char answer;
        bool passed;
        std::string message, question;
    } cases[] = {
        {kSiteFtp, "", "", "", ' ', true, "", ""},
        {kSiteHttp, "", "", "", ' ', true, "", ""},
        {kSiteLocal, "$R", "/", "tarvik", ' ', false, "Please specify your home page file name",
         ""},
        {kSiteLocal, "$R", "readonly.html", "tarvik", ' ', false,
         "Home page file \"$R/readonly.html\" has a read only attribute", ""},
        {kSiteLocal, backslashRoot, "\\index.html", "\\tarvik\\", ' ', true, "", ""},
        {kSiteLocal, "$R", "index.html", "agentfile", ' ', false,
         "\"$R/agentfile\" is not a directory name", ""},
        {kSiteLocal, "$R", "index.html", "/rodir", ' ', false,
         "Directory \"$R/rodir\" has a read only attribute", ""},
        {kSiteLocal, "$R", "index.html", "newdir", 'n', false, "", ask + "newdir" + create},
        {kSiteLocal, "$R", "index.html", "new/sub", 'y', true, "", ask + "new/sub" + create},
        {kSiteLocal, "$R", "index.html", "index.html/sub", 'y', false,
         "Could not create directory \"$R/index.html/sub\"", ask + "index.html/sub" + create},
        // A dynamic site: a home page, then its agent directory as a local one.
        {kDynamic, "", "/", "$R/tarvik", ' ', false, "Please specify your home page file name", ""},
        {kDynamic, "", "index.asp", "$R/tarvik/", ' ', true, "", ""},
        {kDynamic, "", "index.asp", "$R/dyn", 'y', true, "", ask + "dyn" + create},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root + " " + c.home + " " + c.files);
        Outcome o = Run(
            [&](CUserPrompt& p) {
                if (c.type == kDynamic)
                    return CheckDynamicLocationPage(c.home, Sub(c.files, "$R", root), p);
                return CheckLocationPage(c.type, Sub(c.root, "$R", root), c.home, c.files, p);
            },
            c.answer == 'y');
        EXPECT_EQ(o.passed, c.passed);
        EXPECT_EQ(o.messages, Listed(Sub(c.message, "$R", root)));
        EXPECT_EQ(o.questions, Listed(Sub(c.question, "$R", root)));
    }
    EXPECT_TRUE(fs::is_directory(site / "new" / "sub"));
    EXPECT_TRUE(fs::is_directory(site / "dyn"));
    EXPECT_FALSE(fs::exists(site / "newdir"));
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
        // Only a directory matches: no log file.
        {false, logs + "/dir.*", {"Log file(s) \"" + logs + "/dir.*\" not found"}},
    };
    for (const Case& c : cases) {
        Outcome o = Run([&](CUserPrompt& p) { return CheckLogPage(c.ignore, c.text, p); });
        EXPECT_EQ(o.passed, c.messages.empty()) << c.text;
        EXPECT_EQ(o.messages, c.messages) << c.text;
    }
}

TEST_F(AgentChecksTest, BackupPage) {
    const std::string ask = "Backup directory \"";
    const std::string create = "\" does not exist. Create directory?";
    struct Case {
        std::string file;
        char answer;
        bool passed;
        std::string message, question;
    } cases[] = {
        {"$B/old.zip", ' ', true, "", ""},
        {"$B/locked.zip", ' ', false, "Zip directory \"$B/locked.zip\" has a read only attribute.",
         ""},
        {"$R/index.html/b.zip", ' ', false,
         "Zip directory \"$R/index.html\" is not a directory name", ""},
        {"$R/rodir/b.zip", ' ', false, "Zip directory \"$R/rodir\" has a read only attribute.", ""},
        {"$B/new/b.zip", 'n', false, "", ask + "$B/new" + create},
        {"$B\\made\\b.zip", 'y', true, "", ask + "$B/made" + create},
        {"$R/agentfile/x/b.zip", 'y', false, "Could not create directory \"$R/agentfile/x\"",
         ask + "$R/agentfile/x" + create},
    };
    auto expand = [&](const std::string& text) {
        return Sub(Sub(text, "$B", S(dir / "backup")), "$R", S(site));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Outcome o = Run([&](CUserPrompt& p) { return CheckBackupPage(true, expand(c.file), p); },
                        c.answer == 'y');
        EXPECT_EQ(o.passed, c.passed);
        EXPECT_EQ(o.messages, Listed(expand(c.message)));
        EXPECT_EQ(o.questions, Listed(expand(c.question)));
    }
    EXPECT_TRUE(fs::is_directory(dir / "backup" / "made"));
}

// Each step spoils one more page: the check reports the first page in page order.
TEST_F(AgentChecksTest, AllPagesInOrder) {
    CAgentSettings a;
    a.Description = "d";
    a.DomainName = "x.com";
    a.RootDirectory = S(site);
    a.LogFile = S(dir / "logs" / "ex1.log");
    a.BackupDir = S(dir / "backup" / "b.zip");
    auto check = [&] { return Run([&](CUserPrompt& p) { return CheckAgentSettings(a, p); }); };
    EXPECT_TRUE(check().passed);
    a.BackupDir = "";
    EXPECT_EQ(check().messages, Msgs{"Please specify backup (.zip) file name"});
    a.CaFile = S(dir / "missing.pem");
    EXPECT_EQ(check().messages, Msgs{"Certificate file \"" + a.CaFile + "\" cannot be read"});
    a.CaFile = a.LogFile;  // any readable file: its contents are libcurl's to judge
    EXPECT_EQ(check().messages, Msgs{"Please specify backup (.zip) file name"});
    // A dynamic site has no backup page; its agent directory is a local one.
    a.IsDynamicSite = true;
    a.FilesDirectory = S(site / "tarvik");
    EXPECT_TRUE(check().passed);
    a.CacheKBLimit = 1000000;
    EXPECT_EQ(check().messages,
              Msgs{"CacheKBLimit: please enter an integer between 0 and 999999."});
    a.LogFile = "";
    EXPECT_EQ(check().messages, Msgs{"Please specify your log file location"});
    a.ignoreLogFile = true;
    a.HomePage = "";
    EXPECT_EQ(check().messages, Msgs{"Please specify your home page file name"});
    a.DomainName = "";
    EXPECT_EQ(check().messages, Msgs{"Please specify your domain name"});
    a.Description = "";
    EXPECT_EQ(check().messages, Msgs{"Please specify your site description"});
}

TEST(AgentPaths, NormalizedAsTheSheetStoresThem) {
    CAgentSettings a;
    a.FilesDirectory = "tarvik/";
    a.LogFile = "/var/log/";
    a.BackupDir = "backups\\site.zip";
    NormalizeAgentPaths(a);
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
