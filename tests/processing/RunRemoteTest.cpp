// Full runs of agents whose sites are not on the local disk: a static site on the test FTP
// server, and a dynamic site served by the test nginx, with and without logs.
#include <gtest/gtest.h>

#include <map>

#include "ArchiveReader.h"
#include "RunFixture.h"
#include "support/FtpServer.h"
#include "support/NginxServer.h"

namespace {

using namespace runtest;

using RemoteRunTest = RunFixture;

TEST_F(RemoteRunTest, AStaticSiteOnAnFtpServer) {
    CFtpServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(WriteSite(server.Root()));
    agent.SiteFileType = kSiteFtp;
    agent.RootDirectory = server.Address();
    agent.Username = server.User();
    agent.Password = server.Password();

    RecordingSink sink;
    ASSERT_TRUE(Run(&sink)) << GetLastMessage();
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(sink.titles.size(), 8u);
    EXPECT_EQ(Map().PageCount(), 3);
    EXPECT_EQ(Map().HitCount, 5);
    EXPECT_EQ(Weight("/a.html", "/b.html"), 1.0);

    // The pages on the server carry the applet, the agent directory holds its files, and the
    // backup (read through the FTP connection) the pages as they were.
    for (const char* page : {"/index.html", "/a.html", "/b.html"}) {
        EXPECT_NE(ReadWholeFile(server.Root() + page).find("<Quorvane>"), std::string::npos)
            << page;
    }
    for (const std::string& name : kAppletFiles) {
        EXPECT_EQ(ReadWholeFile(server.Root() + "/tarvik/" + name),
                  ReadWholeFile(kBuiltRuntime + name));
    }
    EXPECT_FALSE(ReadWholeFile(server.Root() + "/tarvik/index.qvf").empty());
    EXPECT_EQ(ReadArchive(dir / "backup/site.zip"),
              (std::map<std::string, std::string>{
                  {"index.html", kIndexHtml}, {"a.html", kAHtml}, {"b.html", kBHtml}}));
    EXPECT_TRUE(agent.IsProcessed);

    // Once more, accumulating: the kept graph resumes the log, the pages keep one applet.
    agent.StatAccumulate = true;
    ASSERT_TRUE(Run(nullptr)) << GetLastMessage();
    EXPECT_EQ(Map().HitCount, 5);
    EXPECT_EQ(Weight("/index.html", "/a.html"), 1.0);
    const std::string index = ReadWholeFile(server.Root() + "/index.html");
    EXPECT_EQ(index.find("<Quorvane>"), index.rfind("<Quorvane>"));

    // The server is gone: the crawl of the home page fails; without a sink the message is left
    // for the caller.
    server.Stop();
    EXPECT_FALSE(Run(nullptr));
    EXPECT_EQ(GetLastMessage(), "Could not read file /index.html");
    EXPECT_FALSE(agent.IsProcessed);
}

// A dynamic site: read over HTTP, its pages are the server's output and never rewritten (and
// so not backed up); the instruction files go to a local directory. Its logs are ignored here:
// the phase shows its title and reads nothing.
TEST_F(RemoteRunTest, ADynamicSiteOnAWebServer) {
    CNginxServer nginx;
    ASSERT_TRUE(WriteSite(nginx.DocRoot()));
    ASSERT_TRUE(nginx.Start());
    agent.IsDynamicSite = true;
    agent.DomainName = "127.0.0.1:" + std::to_string(nginx.Port());
    agent.RootDirectory.clear();
    agent.FilesDirectory = dir / "agent";
    agent.ignoreLogFile = true;

    RecordingSink sink;
    ASSERT_TRUE(Run(&sink)) << GetLastMessage();
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(sink.titles,
              (std::vector<std::string>{"Analyzing site ...", "Analyzing site's files",
                                        "Analyzing log files ...", "Analyzing site's files",
                                        "Concluding Caching Instructions",
                                        "Embedding Java into Site", "Analyzing site's files"}));
    EXPECT_EQ(Map().PageCount(), 3);
    EXPECT_EQ(Map().HitCount, 0);
    EXPECT_EQ(Map().LastLogFile, "");
    EXPECT_EQ(ReadWholeFile(nginx.DocRoot() + "/index.html"), kIndexHtml);
    EXPECT_EQ(ReadWholeFile(nginx.DocRoot() + "/b.html"), kBHtml);
    EXPECT_FALSE(fs::exists(dir / "backup/site.zip"));
    for (const std::string& name : kAppletFiles) {
        EXPECT_EQ(ReadWholeFile(dir / ("agent/" + name)), ReadWholeFile(kBuiltRuntime + name));
    }
    EXPECT_FALSE(ReadWholeFile(dir / "agent/index.qvf").empty());
    EXPECT_EQ(ReadWholeFile(dir / "agent/quorvane.properties"), "ShowPrefetch=no\n");

    // The agent directory is a file.
    fs::remove_all(dir / "agent");
    ASSERT_TRUE(dir.WriteFile("agent", "a file"));
    RecordingSink failing;
    EXPECT_FALSE(Run(&failing));
    const std::string message = "\"" + (dir / "agent") + "\" is not a directory name";
    EXPECT_EQ(GetLastMessage(), message);
    EXPECT_EQ(failing.messages, std::vector<std::string>{message});
}

}  // namespace
