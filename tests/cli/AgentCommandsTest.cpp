// The agent commands of the built tarvik binary, run against real files in a scratch directory.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "agent/AgentTestUtil.h"
#include "support/TarvikRunner.h"

namespace {

using namespace agenttest;

using Result = TarvikResult;

class AgentCommandsTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(testing::TempDir()) / (std::string("agent_cli_") + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "site" / "tarvik");
        WriteAll(dir / "site" / "index.html", "<html></html>");
        WriteAll(dir / "logs" / "ex1.log", "x");
        reg = dir / "config" / "tarvik.reg";
        work = dir / "data" / "quorvane" / "tarvik";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Starts tarvik with the arguments (after --registry); output goes to files named after tag.
    pid_t Start(const std::vector<std::string>& args, const std::string& tag,
                rlim_t fileSizeLimit = RLIM_INFINITY) {
        TarvikCall call{{"--registry", reg.string()},
                        {"HOME=" + dir.string(), "XDG_DATA_HOME=" + (dir / "data").string()}};
        call.args.insert(call.args.end(), args.begin(), args.end());
        call.fileSizeLimit = fileSizeLimit;
        return StartTarvik(call, (dir / tag).string());
    }
    Result Finish(pid_t pid, const std::string& tag) {
        return FinishTarvik(pid, (dir / tag).string());
    }
    Result Run(const std::vector<std::string>& args, rlim_t fileSizeLimit = RLIM_INFINITY) {
        return Finish(Start(args, "run", fileSizeLimit), "run");
    }

    // The settings of a site that passes every check.
    std::vector<std::string> Site(const std::string& description) const {
        return {"add",
                "Description=" + description,
                "DomainName=example.com",
                "RootDirectory=" + (dir / "site").string(),
                "ignoreLogFile=true",
                "IsBackup=false"};
    }

    fs::path dir;
    fs::path reg;
    fs::path work;
};

TEST_F(AgentCommandsTest, AddedAgentsSurviveListAndShow) {
    Result r = Run(Site("Main shop"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "example.com 0\n");
    EXPECT_EQ(r.err, "");
    std::vector<std::string> second = {"add",
                                       "description=Blog",
                                       "DOMAINNAME=example.com",
                                       "RootDirectory=" + (dir / "site").string() + "/",
                                       "LogFile=" + (dir / "logs").string() + "\\ex*.log",
                                       "LogFromat=apache",
                                       "StatRange=specify range",
                                       "StartTime=2024-02-29 10:30:00",
                                       "CacheKBLimit=512",
                                       "isKBLimit=TRUE",
                                       "BackupDir=" + (dir / "bk" / "site.zip").string(),
                                       "Username=me",
                                       "Password=s3cret",
                                       "cleanurls=TRUE",
                                       "--create-dirs"};
    r = Run(second);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "example.com 1\n");
    EXPECT_TRUE(fs::is_directory(dir / "bk"));
    EXPECT_EQ(ReadAll(reg).find("s3cret"), std::string::npos);
    EXPECT_EQ(ModeOf(reg), 0600u);

    r = Run({"list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Key            Description  Domain Name  Last Run Time  Succeded\n"
              "example.com 0  Main shop    example.com                 No\n"
              "example.com 1  Blog         example.com                 No\n");

    r = Run({"show", "Blog"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> shown;
    for (std::string line; std::getline(lines, line);)
        shown.push_back(line);
    const std::set<std::string> expected = {
        "AgentKey=example.com 1",
        "Description=Blog",
        "RootDirectory=" + (dir / "site").string(),
        "FilesDirectory=/tarvik",
        "LogFile=" + (dir / "logs").string() + "/ex*.log",
        "LogFromat=Apache",
        "StatRange=Specify Range",
        "StartTime=2024-02-29 10:30:00",
        "CacheKBLimit=512",
        "isKBLimit=true",
        "Username=me",
        "Password=********",
        "CleanUrls=true",
        "LastLogPosition=-1",
    };
    for (const std::string& line : expected) {
        EXPECT_NE(std::find(shown.begin(), shown.end(), line), shown.end()) << line;
    }
    EXPECT_EQ(shown.size(), 1u + 43u + 3u);
    // Commands that only look write no statistics file.
    EXPECT_FALSE(fs::exists(work / "example.com 0.qvs"));
}

TEST_F(AgentCommandsTest, FailuresExitNonZeroWithTheMessage) {
    ASSERT_EQ(Run(Site("Main shop")).status, 0);
    ASSERT_EQ(Run(Site("Twin")).status, 0);
    ASSERT_EQ(Run({"set", "example.com 1", "Description=Main shop"}).status, 0);
    const std::string site = (dir / "site").string();
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"add", "Description=x"}, "tarvik: Please specify your domain name\n"},
        {{"add", "DomainName=x"}, "tarvik: Please specify your site description\n"},
        {{"add", "Colour=blue"}, "tarvik: Unknown setting \"Colour\"\n"},
        {{"add", "Description"}, "tarvik: \"Description\" is not NAME=VALUE\n"},
        {{"add", "IsBackup=yes"},
         "tarvik: Setting IsBackup takes \"true\" or \"false\", not \"yes\"\n"},
        {{"add", "CachePageLimit=12x"},
         "tarvik: Setting CachePageLimit takes a whole number from -2147483648 to 2147483647, not "
         "\"12x\"\n"},
        {{"add", "Description=d", "DomainName=x", "RootDirectory=" + site, "HomePage=nope.html"},
         "tarvik: Home page file \"" + site + "/nope.html\" not found\n"},
        {{"add", "Description=d", "DomainName=x", "RootDirectory=" + site, "FilesDirectory=agent"},
         "tarvik: Agent directory \"" + site +
             "/agent\" does not exist. Create directory? No (pass --create-dirs to create it)\n"},
        {{"add", "Description=d", "DomainName=x", "RootDirectory=" + site,
          "LogFile=/nowhere/*.log"},
         "tarvik: Log file(s) \"/nowhere/*.log\" not found\n"},
        {{"show", "Nobody"}, "tarvik: No agent \"Nobody\" (give its key or its description)\n"},
        {{"show", "Main shop"},
         "tarvik: More than one agent has the description \"Main shop\"; give its key\n"},
        {{"set", "example.com 0", "StatWeight=heavy"},
         "tarvik: Setting StatWeight takes one of \"No\", \"Minor\", \"Major\", \"Auto\", not "
         "\"heavy\"\n"},
        {{"set", "example.com 0", "CachePageLimit=1000000"},
         "tarvik: CachePageLimit: please enter an integer between 0 and 999999.\n"},
        {{"options", "--suffix", "Flash=swf"},
         "tarvik: \"Flash=swf\" is not TYPE=LIST with TYPE one of HTML, ASP, Image, Video, Audio, "
         "Java, Shockwave\n"},
    };
    const std::string before = ReadAll(reg);
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0] << " " << c.args.back();
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    // No failed command changed a setting.
    EXPECT_EQ(ReadAll(reg), before);
    EXPECT_EQ(Run({"list"}).out.find("x  "), std::string::npos);

    // A settings file that cannot be read: nothing is listed, and nothing is written.
    fs::remove(reg);
    fs::create_directories(reg);
    Result r = Run({"list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "tarvik: Could not read settings file " + reg.string() + " (Is a directory)\n");
}

TEST_F(AgentCommandsTest, SetRemoveAndOptions) {
    ASSERT_EQ(Run(Site("Main shop")).status, 0);
    Result r = Run({"set", "Main shop", "processtime=1/2/26 03:04 PM", "IsProcessed=true",
                    "RootDirectory=" + (dir / "site").string() + "\\", "HomePage=/index.html"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"list"});
    EXPECT_NE(r.out.find("example.com 0  Main shop    example.com  1/2/26 03:04 PM  Yes"),
              std::string::npos)
        << r.out;
    r = Run({"show", "example.com 0"});
    EXPECT_NE(r.out.find("\nHomePage=index.html\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nRootDirectory=" + (dir / "site").string() + "\n"), std::string::npos);

    // Without --yes and without a terminal to ask on, nothing is removed.
    r = Run({"remove", "Main shop"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "tarvik: Agent \"example.com 0\" was not removed (pass --yes to remove it "
              "without asking)\n");
    r = Run({"remove", "Main shop", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"list"});
    EXPECT_EQ(r.out, "Key  Description  Domain Name  Last Run Time  Succeded\n");
    EXPECT_FALSE(fs::exists(work / "example.com 0.qvs"));  // deleted as an orphan at start-up

    r = Run({"options", "--suffix", "html=htm, .html,shtml", "--suffix", "Java Files="});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Working directory: " + work.string() +
                         "\n"
                         "HTML Files: htm, html, shtml\n"
                         "ASP Files: asp\n"
                         "Image Files: bmp, eps, gif, jpeg, jpg, pcx, tif, tiff\n"
                         "Video Files: avi, mov, mpeg, mpg, qt, qtm\n"
                         "Audio Files: mid, midi, wav\n"
                         "Java Files: \n"
                         "Shockwave Files: dcr, dir, dxr, spl, swf\n");
    // The working directory given for one run, before or after the command, is not stored.
    const fs::path other = dir / "other";
    fs::create_directories(other);
    r = Run({"options", "--workdir", other.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Working directory: " + other.string());
    r = Run({"--workdir", other.string(), "options"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Working directory: " + other.string());
    r = Run({"options"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Working directory: " + work.string());
    EXPECT_NE(r.out.find("HTML Files: htm, html, shtml\n"), std::string::npos);
    EXPECT_EQ(ReadAll(reg).find("TarvikDir"), std::string::npos);
}

TEST_F(AgentCommandsTest, ProcessesAddingAtOnceAreAllKept) {
    constexpr int kRounds = 3;
    constexpr int kAtOnce = 4;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<pid_t> pids;
        for (int i = 0; i < kAtOnce; ++i) {
            pids.push_back(Start(Site("agent " + std::to_string(round) + "." + std::to_string(i)),
                                 "p" + std::to_string(i)));
        }
        for (int i = 0; i < kAtOnce; ++i) {
            Result r = Finish(pids[static_cast<std::size_t>(i)], "p" + std::to_string(i));
            EXPECT_EQ(r.status, 0) << r.err;
        }
    }
    Result r = Run({"list"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> keys;
    std::set<std::string> descriptions;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);  // heading
    while (std::getline(lines, line)) {
        keys.insert(line.substr(0, line.find("  ")));
        std::size_t at = line.find("agent ");
        if (at != std::string::npos)
            descriptions.insert(line.substr(at, line.find("  ", at) - at));
    }
    EXPECT_EQ(keys.size(), static_cast<std::size_t>(kRounds * kAtOnce));
    EXPECT_EQ(descriptions.size(), static_cast<std::size_t>(kRounds * kAtOnce));
    for (int n = 0; n < kRounds * kAtOnce; ++n) {
        EXPECT_EQ(keys.count("example.com " + std::to_string(n)), 1u) << n;
    }
}

TEST_F(AgentCommandsTest, AWriteThatFailsLeavesTheSettingsFileWhole) {
    ASSERT_EQ(Run(Site("Main shop")).status, 0);
    const std::string before = ReadAll(reg);
    // The file-size limit lets the statistics files through but not the grown settings file.
    Result r = Run({"set", "Main shop", "Description=" + std::string(8000, 'd')},
                   static_cast<rlim_t>(before.size() + 100));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("tarvik: Could not write settings file " + reg.string() + " (File too large)"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(ReadAll(reg), before);
    r = Run({"show", "Main shop"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(AgentCommandsTest, HandWrittenAndDamagedSettingsFiles) {
    // An agent without a description, a value this version does not know, and a damaged line.
    WriteAll(reg, kHeader + "[" + kProduct +
                      "\\legacy 0]\n"
                      "\"DomainName\"=\"legacy.example\"\n"
                      "\"Extra\"=hex(7):41,00,00,00,00,00\n"
                      "\"IsProcessed\"=\"TRUE\"\n"
                      "this line is damaged\n");
    Result r = Run({"list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Key       Description       Domain Name     Last Run Time  Succeded\n"
              "legacy 0  <No Description>  legacy.example                 Yes\n");
    // A change rewrites the file: the unknown value stays, the damaged file is kept beside it.
    ASSERT_EQ(Run({"options", "--suffix", "HTML=html"}).status, 0);
    const std::string now = ReadAll(reg);
    EXPECT_NE(now.find("\"Extra\"=hex(7):41,00,00,00,00,00"), std::string::npos);
    EXPECT_NE(ReadAll(reg.string() + ".damaged").find("this line is damaged"), std::string::npos);
}

}  // namespace
