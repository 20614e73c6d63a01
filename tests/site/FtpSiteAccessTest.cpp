// The FTP site access against a real FTP server (pyftpdlib) on loopback, and over SFTP
// against sshd.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "SiteChecks.h"
#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "site/FtpSiteAccess.h"
#include "support/FtpServer.h"
#include "support/SshServer.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"

namespace fs = std::filesystem;

namespace {

// An agent whose site is on the FTP server at address.
CAgentSettings FtpAgent(const std::string& address, const std::string& user,
                        const std::string& password, const std::string& caFile, bool tls) {
    CAgentSettings agent(0);
    agent.SiteFileType = kSiteFtp;
    agent.RootDirectory = address;
    agent.Username = user;
    agent.Password = password;
    agent.CaFile = caFile;
    agent.FtpTls = tls;
    return agent;
}

class FtpSiteAccessTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string& root = server.Root();
        MakeSite(root);
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/page.html", "page"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/deeper/leaf.html", "leaf"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/Mixed Case.HTML", "mixed"));
        ASSERT_TRUE(CTempDir::MakeDirAt(root, "sub/emptydir"));
        ASSERT_TRUE(server.Start());
    }

    std::unique_ptr<CFtpSiteAccess> Access(const std::string& user, const std::string& password) {
        auto access = std::make_unique<CFtpSiteAccess>(server.Address(), 0, user, password);
        access->SetTimeouts(10, 20);
        return access;
    }
    std::unique_ptr<CFtpSiteAccess> Access() { return Access(server.User(), server.Password()); }

    CFtpServer server;
};

// TLS is taken whenever the server offers it, with its certificate verified; with FtpTls there
// is no login at all on a server without it, so the password never travels in the clear. Plain
// FTP, FTP with TLS required, SFTP and a server without the SIZE command (sizes then come from
// the listing) keep the contract, with the password (FTP) or key (SFTP) the agent names.
TEST_F(FtpSiteAccessTest, EveryProtocolServesTheSite) {
    CFtpServer secure;
    ASSERT_TRUE(MakeTestCertificate(secure.Dir()));
    CFtpServer::Options options;
    options.tlsDir = secure.Dir();
    CFtpServer noSize;
    CFtpServer::Options noSizeOptions;
    noSizeOptions.sizeCommand = false;
    CSshServer sshd;
    CTempDir sftpDir("sftp");
    const std::string sftpRoot = sftpDir / "site root";
    ASSERT_TRUE(sftpDir.MakeDir("site root"));
    MakeSite(secure.Root());
    MakeSite(sftpRoot);
    MakeSite(noSize.Root());
    ASSERT_TRUE(noSize.Start(noSizeOptions));
    ASSERT_TRUE(secure.Start(options));
    ASSERT_TRUE(sshd.Start());
    const std::string bundle = secure.Dir() + "/cert.pem";

    const struct {
        CFtpServer* server;
        std::string caFile;
        bool required;
        std::string error;
    } logins[] = {
        {&secure, bundle, false, ""},
        {&secure, bundle, true, ""},
        {&secure, "", false,
         "FTP server '" + secure.Address() + "': SSL certificate problem: self-signed certificate"},
        {&server, "", true,
         "FTP server '" + server.Address() +
             "' offers no TLS, and this agent logs in only over TLS (FtpTls)"},
    };
    for (const auto& row : logins) {
        SCOPED_TRACE(row.server->Address() + " " + row.caFile);
        std::unique_ptr<CSiteAccess> access =
            CreateSiteAccess(FtpAgent(row.server->Address(), row.server->User(),
                                      row.server->Password(), row.caFile, row.required));
        auto* ftp = dynamic_cast<CFtpSiteAccess*>(access.get());
        ASSERT_NE(ftp, nullptr);
        EXPECT_EQ(ftp->TestConnection(), row.error.empty());
        EXPECT_EQ(ftp->LastError(), row.error);
    }
    // Every login went over TLS; the verified ones alone sent the password.
    EXPECT_EQ(secure.CountCommands("AUTH"), 3);
    EXPECT_EQ(secure.CountCommands("PASS"), 2);
    EXPECT_EQ(server.CountCommands("PASS"), 0);

    const std::string sftpUrl = "sftp://" + sshd.Address() + sftpRoot;
    CAgentSettings sftp = FtpAgent(sftpUrl, sshd.User(), "", sshd.KnownHostsFile(), true);
    sftp.SshKey = sshd.KeyFile();
    const struct {
        CAgentSettings agent;
        std::string root;
    } sites[] = {
        {FtpAgent(server.Address(), server.User(), server.Password(), "", false), server.Root()},
        {FtpAgent(secure.Address(), secure.User(), secure.Password(), bundle, true), secure.Root()},
        {std::move(sftp), sftpRoot},
        {FtpAgent(noSize.Address(), noSize.User(), noSize.Password(), "", false), noSize.Root()},
    };
    for (const auto& site : sites) {
        SCOPED_TRACE(site.agent.RootDirectory);
        std::unique_ptr<CSiteAccess> access = CreateSiteAccess(site.agent);
        // The listing the FTP tree shows: every entry, with directories told apart.
        std::vector<CFtpSiteAccess::SListEntry> entries;
        ASSERT_TRUE(dynamic_cast<CFtpSiteAccess&>(*access).ListDirectory("/", entries));
        std::set<std::string> listed;
        for (const auto& entry : entries) {
            listed.insert(entry.name + (entry.isDirectory ? "/" : ""));
        }
        EXPECT_EQ(listed,
                  (std::set<std::string>{"empty.html", "index.html", "readonly.html", "sub/"}));
        const std::string missing = "'/missing.html' not found";
        ExpectFileSite(*access, site.root, missing, missing);
    }
    // One login each for the contract (the two verified TLS logins above count too), the FTP one
    // with private data connections; SFTP logs in again after each of its two failed reads.
    EXPECT_EQ(secure.CountCommands("PASS"), 3);
    EXPECT_EQ(secure.CountCommands("PROT P"), 3);
    EXPECT_EQ(sshd.CountLogins(), 3);

    // An SFTP server whose host key is not the known one gets no login.
    CAgentSettings stranger(0);
    stranger.AssignSettings(sites[2].agent);
    stranger.CaFile = secure.Dir() + "/known_hosts";
    ASSERT_TRUE(CTempDir::WriteFileAt(secure.Dir(), "known_hosts",
                                      "[127.0.0.1]:" + std::to_string(sshd.Port()) + " " +
                                          ReadWholeFile(sshd.KeyFile() + ".pub")));
    auto access = CreateSiteAccess(stranger);
    EXPECT_EQ(access->GetFileSize("/index.html"), 0);
    EXPECT_EQ(access->LastError(), "SFTP server '" + stranger.RootDirectory +
                                       "': its host key is not the one known for it in '" +
                                       stranger.CaFile + "'");
    EXPECT_EQ(sshd.CountLogins(), 3);
}

// A directory in the address becomes the site's root on the server. Exists, IsDirectory and
// IsReadOnly look the name up in a fresh listing of its directory, ignoring case.
TEST_F(FtpSiteAccessTest, AddressWithADirectoryAndListings) {
    CFtpSiteAccess access("ftp://" + server.Address() + "/sub", 0, server.User(),
                          server.Password());
    EXPECT_EQ(access.GetRoot(), "/sub/");
    const struct {
        const char* name;
        bool exists;
        bool directory;
    } rows[] = {
        {"/PAGE.HTML", true, false},    {"/mixed case.html", true, false},
        {"/DEEPER/", true, true},       {"/deeper/leaf.html", true, false},
        {"/emptydir", true, true},      {"/emptydir/x.html", false, false},
        {"/page.html/x", false, false}, {"/index.html", false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(access.Exists(row.name), row.exists) << row.name << " " << access.LastError();
        EXPECT_EQ(access.IsDirectory(row.name), row.directory) << row.name;
        EXPECT_FALSE(access.IsReadOnly(row.name)) << row.name;
    }
    CTextBuffer buffer;
    ASSERT_TRUE(access.ReadFile("/page.html", buffer)) << access.LastError();
    EXPECT_EQ(buffer.View(), "page");
    EXPECT_EQ(access.GetFileSize("/deeper/leaf.html"), 4);
    EXPECT_TRUE(access.CreateDirectory("/tarvik"));
    EXPECT_TRUE(fs::is_directory(server.Root() + "/sub/tarvik"));
    EXPECT_FALSE(access.CreateDirectory("/tarvik"));
    EXPECT_EQ(access.LastError().rfind("FTP server 'ftp://" + server.Address() + "/sub': ", 0), 0u);
    // A listing is fresh each time: a file made meanwhile is seen.
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "sub/later.html", "x"));
    EXPECT_TRUE(access.Exists("/later.html"));
}

// One login serves every operation until Disconnect; the destructor says goodbye.
TEST_F(FtpSiteAccessTest, ConnectionStaysOpen) {
    auto access = Access();
    EXPECT_FALSE(access->IsConnected());
    CTextBuffer buffer;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(access->ReadFile("/index.html", buffer));
        EXPECT_EQ(access->GetFileSize("/sub/page.html"), 4);
        EXPECT_TRUE(access->Exists("/sub/page.html"));
        EXPECT_FALSE(access->ReadFile("/missing.html", buffer));
    }
    EXPECT_TRUE(access->IsConnected());
    EXPECT_EQ(server.CountCommands("USER"), 1);
    EXPECT_EQ(server.CountCommands("RETR"), 3);  // a missing file fails on its SIZE
    EXPECT_EQ(server.CountCommands("LIST"), 3);  // one fresh listing per Exists

    access->Disconnect();
    EXPECT_FALSE(access->IsConnected());
    EXPECT_TRUE(access->EnsureConnected());
    EXPECT_TRUE(access->EnsureConnected());
    EXPECT_EQ(server.CountCommands("USER"), 2);
    EXPECT_TRUE(access->Connect());  // a fresh connection in place of the open one
    EXPECT_EQ(server.CountCommands("USER"), 3);
    EXPECT_EQ(server.CountCommands("LIST"), 3);  // logging in lists nothing
    access.reset();
    // The server may log the goodbye a moment after the client has gone.
    for (int i = 0; i < 100 && server.CountCommands("QUIT") < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(server.CountCommands("QUIT"), 3);
}

TEST_F(FtpSiteAccessTest, TestConnectionUsesAConnectionOfItsOwn) {
    auto access = Access();
    EXPECT_TRUE(access->TestConnection()) << access->LastError();
    EXPECT_FALSE(access->IsConnected());
    EXPECT_EQ(server.CountCommands("USER"), 1);

    auto wrong = Access(server.User(), "wrong password");
    EXPECT_FALSE(wrong->TestConnection());
    EXPECT_EQ(wrong->LastError().rfind("FTP server '" + server.Address() + "': ", 0), 0u);
    EXPECT_EQ(wrong->LastError().find("wrong password"), std::string::npos);
    EXPECT_FALSE(wrong->Connect());
    EXPECT_FALSE(wrong->IsConnected());
    CTextBuffer buffer;
    EXPECT_FALSE(wrong->ReadFile("/index.html", buffer));
    EXPECT_EQ(wrong->GetFileSize("/index.html"), 0);  // no connection to be had

    // Empty user name and password log in anonymously (read only on this server).
    auto anonymous = Access("", "");
    EXPECT_TRUE(anonymous->TestConnection());
    ASSERT_TRUE(anonymous->ReadFile("/index.html", buffer));
    EXPECT_EQ(buffer.View(), "<html>home</html>");
    EXPECT_EQ(server.CountCommands("USER anonymous"), 2);
    EXPECT_FALSE(anonymous->WriteFile("/index.html", buffer));
    EXPECT_EQ(ReadWholeFile(server.Root() + "/index.html"), "<html>home</html>");
}

// Names that climb out of the root, and names with a line break (which would end the command and
// start another), are refused before anything is sent.
TEST_F(FtpSiteAccessTest, UnsafeNamesAreRefused) {
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Dir(), "notes.html", "private notes"));
    auto access = Access();
    for (const char* name : {"/../notes.html", "\\..\\notes.html"}) {
        ExpectEveryOperationRefuses(*access, name);
    }
    const std::string name = "/x.html\r\nDELE /index.html";
    ExpectEveryOperationRefuses(*access, name, "The name '" + name + "' holds control characters");
    EXPECT_FALSE(access->IsConnected());
    EXPECT_EQ(server.CountCommands("USER"), 0);
    EXPECT_EQ(ReadWholeFile(server.Dir() + "/notes.html"), "private notes");
    EXPECT_TRUE(fs::exists(server.Root() + "/index.html"));
}

// A server that goes away, or none to be had, ends in results.
TEST_F(FtpSiteAccessTest, BrokenConnectionsEndInResults) {
    auto access = Access();
    CTextBuffer buffer;
    ASSERT_TRUE(access->ReadFile("/index.html", buffer));
    server.Stop();
    buffer.Clear();
    EXPECT_FALSE(access->ReadFile("/index.html", buffer));
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(access->GetFileSize("/index.html"), -1);  // connected before: not 0
    EXPECT_FALSE(access->Exists("/index.html"));
    EXPECT_FALSE(access->WriteFile("/index.html", buffer));
    EXPECT_FALSE(access->CreateDirectory("/x"));
    EXPECT_FALSE(access->LastError().empty());

    CFtpSiteAccess refused("127.0.0.1:" + std::to_string(FreeLoopbackPort()), 0, "", "");
    // "/", "" and "\" are directories without asking the server.
    for (const char* name : {"/", "", "\\"}) {
        EXPECT_TRUE(refused.IsDirectory(name)) << name;
    }
    EXPECT_FALSE(refused.TestConnection());
    EXPECT_FALSE(refused.Exists("/index.html"));
    EXPECT_FALSE(refused.IsDirectory("/sub"));
    EXPECT_FALSE(refused.IsConnected());
    ExpectUnreachableServersFail("FTP", [](const std::string& address) {
        return std::make_unique<CFtpSiteAccess>(address, 0, "", "");
    });
}

}  // namespace
