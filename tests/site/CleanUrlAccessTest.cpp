// Which file serves a clean URL, on a site on the local disk, on a real FTP server and on a real
// nginx (which serves clean URLs the usual way, with try_files), all on loopback.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "site/CleanUrlAccess.h"
#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "support/FtpServer.h"
#include "support/NginxServer.h"
#include "support/TempDir.h"

namespace {

struct Row {
    const char* name;
    const char* files;  // served on the local disk and over FTP
    const char* http;   // served by the web server
};

const Row kRows[] = {
    {"/", "/index.html", "/"},
    {"/blog/", "/blog/index.html", "/blog/"},
    {"/about", "/about.html", "/about"},
    {"/old", "/old.htm", "/old"},
    {"/docs", "/docs/index.html", "/docs"},
    {"/about.html", "/about.html", "/about.html"},  // not a clean name: itself
    {"/feed", "", ""},                              // a file, but no page
    {"/missing/", "", ""},
    {"/../x/", "", ""},
};

class CleanUrlAccessTest : public testing::Test {
  protected:
    CleanUrlAccessTest() : site("clean-site", true) {}
    void SetUp() override {
        for (const char* file : {"index.html", "blog/index.html", "about.html", "old.htm",
                                 "docs/index.html", "feed"}) {
            ASSERT_TRUE(site.WriteFile(file, std::string("<html>") + file + "</html>"));
        }
        ASSERT_TRUE(CNginxServer::MakeServerReadable(site.Path()));
    }

    // Every row through access; the name that leaves the root is refused with its message.
    static void CheckRows(CCleanUrlAccess& access, bool http) {
        for (const Row& row : kRows) {
            EXPECT_EQ(access.ServedName(row.name), http ? row.http : row.files) << row.name;
        }
        EXPECT_EQ(access.LastError(), http ? "The name '/../x/' leads outside the site's root"
                                           : "The name '/../x/index.html' leads outside the "
                                             "site's root");
    }

    CTempDir site;
};

TEST_F(CleanUrlAccessTest, ResolvesOnTheLocalDiskAndEditsTheServedFile) {
    CAgentSettings agent;
    agent.RootDirectory = site.Path();
    agent.CleanUrls = true;
    std::unique_ptr<CSiteAccess> made = CreateSiteAccess(agent);
    auto* access = dynamic_cast<CCleanUrlAccess*>(made.get());
    ASSERT_NE(access, nullptr);
    CheckRows(*access, false);

    CTextBuffer page;
    ASSERT_TRUE(access->ReadFile("/blog/", page));
    EXPECT_EQ(page.View(), "<html>blog/index.html</html>");
    ASSERT_TRUE(access->WriteFile("/about", page));
    EXPECT_EQ(ReadWholeFile(site / "about.html"), "<html>blog/index.html</html>");
    EXPECT_EQ(access->GetFileSize("/docs"), 28);

    agent.CleanUrls = false;
    EXPECT_EQ(dynamic_cast<CCleanUrlAccess*>(CreateSiteAccess(agent).get()), nullptr);
}

TEST_F(CleanUrlAccessTest, ResolvesOverFtp) {
    CFtpServer server;
    CFtpServer::Options options;
    options.root = site.Path();
    ASSERT_TRUE(server.Start(options));
    auto ftp =
        std::make_unique<CFtpSiteAccess>(server.Address(), 0, server.User(), server.Password());
    ftp->SetTimeouts(10, 20);
    CCleanUrlAccess access(std::move(ftp), "index.html");
    CheckRows(access, false);
}

TEST_F(CleanUrlAccessTest, AWebServerServesWhatItAnswersAsHtml) {
    CNginxServer nginx;
    CNginxServer::Options options;
    options.docRoot = site.Path();
    options.serverDirectives = "location / { try_files $uri $uri.html $uri.htm $uri/ =404; }";
    ASSERT_TRUE(nginx.Start(options));
    auto http = std::make_unique<CHttpSiteAccess>(nginx.BaseUrl());
    http->SetTimeouts(10, 20);
    CCleanUrlAccess access(std::move(http), "/index.html");
    CheckRows(access, true);
}

}  // namespace
