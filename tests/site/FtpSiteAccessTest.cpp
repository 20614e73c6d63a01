// The FTP site access against a real FTP server (pyftpdlib) on loopback, and over SFTP
// against sshd.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "SiteChecks.h"
#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "site/FtpSiteAccess.h"
#include "support/CannedServer.h"
#include "support/FtpServer.h"
#include "support/ServerProcess.h"
#include "support/SshServer.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"

namespace fs = std::filesystem;

namespace {

class FtpSiteAccessTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string& root = server.Root();
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "index.html", "<html>home</html>"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/page.html", "page"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/deeper/leaf.html", "leaf"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "Mixed Case.HTML", "mixed"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "readonly.html", "fixed"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "empty.html", ""));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "binary.bin", BinaryBytes()));
        ASSERT_TRUE(fs::create_directory(root + "/emptydir"));
        ASSERT_EQ(chmod((root + "/readonly.html").c_str(), 0444), 0);
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

// What the table of SecureProtocolsServeTheSite does not ask of plain FTP: reads append, writes
// replace, large files, and failures that leave the buffer and the server's files alone.
TEST_F(FtpSiteAccessTest, ReadsAppendAndWritesReplace) {
    auto access = Access();
    CTextBuffer buffer;
    buffer.Assign("before:");
    ASSERT_TRUE(access->ReadFile("/index.html", buffer)) << access->LastError();
    EXPECT_EQ(buffer.View(), "before:<html>home</html>");
    CTextBuffer upload;
    upload.Assign("replaced");
    ASSERT_TRUE(access->WriteFile("/index.html", upload));
    EXPECT_EQ(ReadWholeFile(server.Root() + "/index.html"), "replaced");
    CTextBuffer empty;
    ASSERT_TRUE(access->WriteFile("/sub/page.html", empty));
    EXPECT_EQ(fs::file_size(server.Root() + "/sub/page.html"), 0u);

    // A large file, in many transfer blocks.
    std::string large;
    for (int i = 0; i < 300000; ++i)
        large.push_back(static_cast<char>('a' + i % 26));
    CTextBuffer big;
    big.Assign(large);
    ASSERT_TRUE(access->WriteFile("/large.txt", big));
    CTextBuffer back;
    ASSERT_TRUE(access->ReadFile("/large.txt", back));
    EXPECT_EQ(back.View(), large);
    EXPECT_EQ(access->GetFileSize("/large.txt"), 300000);

    // Failures leave the buffer as it was and say why.
    buffer.Assign("kept");
    EXPECT_FALSE(access->ReadFile("/missing.html", buffer));
    EXPECT_EQ(buffer.View(), "kept");
    EXPECT_EQ(access->LastError().rfind("FTP server '" + server.Address() + "': ", 0), 0u)
        << access->LastError();
    EXPECT_FALSE(access->ReadFile("/sub", buffer));
    EXPECT_EQ(buffer.View(), "kept");
    EXPECT_TRUE(access->CreateDirectory("/tarvik")) << access->LastError();
    EXPECT_FALSE(access->CreateDirectory("/tarvik"));  // exists already
    EXPECT_EQ(access->LastError().rfind("FTP server '" + server.Address() + "': ", 0), 0u);
}

// Names with blanks, "#", ";" and "%" are file names on the server, not URL syntax.
TEST_F(FtpSiteAccessTest, NamesAreTakenLiterally) {
    auto access = Access();
    const std::string names[] = {"/with space #1;type=a.html", "/100%25 sure?.html",
                                 "/sub/%2e.html"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        CTextBuffer text;
        text.Assign("literal " + name);
        ASSERT_TRUE(access->WriteFile(name, text)) << access->LastError();
        EXPECT_EQ(ReadWholeFile(server.Root() + name), "literal " + name);
        CTextBuffer back;
        ASSERT_TRUE(access->ReadFile(name, back));
        EXPECT_EQ(back.View(), "literal " + name);
        EXPECT_EQ(access->GetFileSize(name), static_cast<int32_t>(8 + name.size()));
        EXPECT_TRUE(access->Exists(name));
    }
}

// Exists, IsDirectory and IsReadOnly look the name up in a fresh listing of its directory,
// ignoring case.
TEST_F(FtpSiteAccessTest, ListingFindsEntries) {
    auto access = Access();
    struct Case {
        const char* name;
        bool exists;
        bool directory;
        bool readOnly;
    };
    const Case cases[] = {
        {"/INDEX.HTML", true, false, false},    {"/mixed case.html", true, false, false},
        {"/SUB/", true, true, false},           {"/sub/page.html", true, false, false},
        {"/sub/deeper", true, true, false},     {"/sub/deeper/leaf.html", true, false, false},
        {"/emptydir", true, true, false},       {"/emptydir/x.html", false, false, false},
        {"/index.html/x", false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(access->Exists(c.name), c.exists) << c.name << " " << access->LastError();
        EXPECT_EQ(access->IsDirectory(c.name), c.directory) << c.name;
        EXPECT_EQ(access->IsReadOnly(c.name), c.readOnly) << c.name;
    }
    // A listing is fresh each time: a file made meanwhile is seen.
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "later.html", "x"));
    EXPECT_TRUE(access->Exists("/later.html"));
}

// "/", "" and "\" are directories without asking the server, even one that does not answer.
TEST_F(FtpSiteAccessTest, RootIsADirectoryWithoutAServer) {
    CFtpSiteAccess access("127.0.0.1:" + std::to_string(FreeLoopbackPort()), 0, "", "");
    EXPECT_TRUE(access.IsDirectory("/"));
    EXPECT_TRUE(access.IsDirectory(""));
    EXPECT_TRUE(access.IsDirectory("\\"));
    EXPECT_FALSE(access.IsConnected());
    auto real = Access();
    EXPECT_TRUE(real->IsDirectory("/"));
    EXPECT_EQ(server.CountCommands("USER"), 0);
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
    CTextBuffer text;
    text.Assign("x");
    EXPECT_FALSE(anonymous->WriteFile("/index.html", text));
    EXPECT_EQ(ReadWholeFile(server.Root() + "/index.html"), "<html>home</html>");
}

TEST(FtpSiteAccessAnonymous, RefusedWhenTheServerHasNoAnonymousLogin) {
    CFtpServer server;
    CFtpServer::Options options;
    options.anonymous = CFtpServer::Options::Anonymous::kNone;
    ASSERT_TRUE(server.Start(options));
    CFtpSiteAccess access(server.Address(), 0, "", "");
    EXPECT_FALSE(access.TestConnection());
    EXPECT_EQ(access.GetFileSize("/index.html"), 0);
    EXPECT_FALSE(access.IsConnected());
}

// A server without the SIZE command: sizes come from the directory listing.
TEST(FtpSiteAccessNoSize, SizesFromTheListing) {
    CFtpServer server;
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "sub/page.html", "page"));
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "empty.html", ""));
    CFtpServer::Options options;
    options.sizeCommand = false;
    ASSERT_TRUE(server.Start(options));
    CFtpSiteAccess access(server.Address(), 0, server.User(), server.Password());
    EXPECT_EQ(access.GetFileSize("/sub/page.html"), 4) << access.LastError();
    EXPECT_EQ(access.GetFileSize("/sub/PAGE.HTML"), 4);  // the listing ignores case
    EXPECT_EQ(access.GetFileSize("/empty.html"), 0);
    EXPECT_EQ(access.GetFileSize("/missing.html"), -1);
    EXPECT_EQ(access.LastError(), "'/missing.html' not found");
    EXPECT_EQ(access.GetFileSize("/sub"), -1);
    EXPECT_GE(server.CountCommands("SIZE"), 4);
    EXPECT_GE(server.CountCommands("LIST"), 4);
}

// A directory in the address becomes the site's root on the server.
TEST_F(FtpSiteAccessTest, AddressWithADirectory) {
    CFtpSiteAccess access("ftp://" + server.Address() + "/sub", 0, server.User(),
                          server.Password());
    EXPECT_EQ(access.GetRoot(), "/sub/");
    CTextBuffer buffer;
    ASSERT_TRUE(access.ReadFile("/page.html", buffer)) << access.LastError();
    EXPECT_EQ(buffer.View(), "page");
    EXPECT_TRUE(access.IsDirectory("/deeper"));
    EXPECT_TRUE(access.Exists("/deeper/leaf.html"));
    EXPECT_EQ(access.GetFileSize("/deeper/leaf.html"), 4);
    EXPECT_FALSE(access.Exists("/index.html"));
    EXPECT_TRUE(access.CreateDirectory("/tarvik"));
    EXPECT_TRUE(fs::is_directory(server.Root() + "/sub/tarvik"));
}

// TLS whenever the server offers it, with its certificate verified; with FtpTls, no login at
// all on a server without it, so the password never travels in the clear.
TEST_F(FtpSiteAccessTest, TlsWhenOfferedAndRequiredWhenSet) {
    CFtpServer secure;
    ASSERT_TRUE(MakeTestCertificate(secure.Dir()));
    ASSERT_TRUE(CTempDir::WriteFileAt(secure.Root(), "index.html", "<html>home</html>"));
    CFtpServer::Options options;
    options.tlsDir = secure.Dir();
    ASSERT_TRUE(secure.Start(options));
    const std::string bundle = secure.Dir() + "/cert.pem";
    const struct {
        CFtpServer* server;
        std::string caFile;
        bool required;
        std::string error;
    } rows[] = {
        {&secure, bundle, false, ""},
        {&secure, bundle, true, ""},
        {&secure, "", false,
         "FTP server '" + secure.Address() + "': SSL certificate problem: self-signed certificate"},
        {&server, "", true,
         "FTP server '" + server.Address() +
             "' offers no TLS, and this agent logs in only over TLS (FtpTls)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.server->Address() + " " + row.caFile);
        CAgentSettings agent(0);
        agent.SiteFileType = kSiteFtp;
        agent.RootDirectory = row.server->Address();
        agent.Username = row.server->User();
        agent.Password = row.server->Password();
        agent.CaFile = row.caFile;
        agent.FtpTls = row.required;
        std::unique_ptr<CSiteAccess> access = CreateSiteAccess(agent);
        auto* ftp = dynamic_cast<CFtpSiteAccess*>(access.get());
        ASSERT_NE(ftp, nullptr);
        EXPECT_EQ(ftp->TestConnection(), row.error.empty());
        EXPECT_EQ(ftp->LastError(), row.error);
    }
    // Every login went over TLS; the verified ones alone sent the password.
    EXPECT_EQ(secure.CountCommands("AUTH"), 3);
    EXPECT_EQ(secure.CountCommands("PASS"), 2);
    EXPECT_EQ(server.CountCommands("PASS"), 0);
}

// Plain FTP, FTP with TLS required and SFTP: files are read, written, sized, listed and made
// over the one login, with the password (FTP) or key (SFTP) the agent names.
TEST_F(FtpSiteAccessTest, SecureProtocolsServeTheSite) {
    CFtpServer secure;
    ASSERT_TRUE(MakeTestCertificate(secure.Dir()));
    CFtpServer::Options options;
    options.tlsDir = secure.Dir();
    CSshServer sshd;
    CTempDir sftpDir("sftp");
    const std::string sftpRoot = sftpDir / "site root";
    ASSERT_TRUE(sftpDir.MakeDir("site root"));
    CAgentSettings ftps(0);
    ftps.SiteFileType = kSiteFtp;
    ftps.Username = secure.User();
    ftps.Password = secure.Password();
    ftps.CaFile = secure.Dir() + "/cert.pem";
    ftps.FtpTls = true;
    CAgentSettings sftp(0);
    sftp.AssignSettings(ftps);
    sftp.Username = sshd.User();
    sftp.Password.clear();
    sftp.CaFile = sshd.KnownHostsFile();
    sftp.SshKey = sshd.KeyFile();
    CAgentSettings plain(0);
    plain.SiteFileType = kSiteFtp;
    plain.RootDirectory = server.Address();
    plain.Username = server.User();
    plain.Password = server.Password();
    const struct {
        CAgentSettings* agent;
        std::string root;
    } rows[] = {{&plain, server.Root()}, {&ftps, secure.Root()}, {&sftp, sftpRoot}};
    for (const auto& row : rows) {
        const std::string& root = row.root;
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "index.html", "<html>home</html>"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/binary.bin", BinaryBytes()));
        std::error_code ignored;
        fs::remove(root + "/readonly.html", ignored);  // the fixture's own is read-only already
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "readonly.html", "fixed"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "empty.html", ""));
        ASSERT_EQ(chmod((root + "/readonly.html").c_str(), 0444), 0);
    }
    ASSERT_TRUE(secure.Start(options));
    ASSERT_TRUE(sshd.Start());
    ftps.RootDirectory = secure.Address();
    sftp.RootDirectory = "sftp://" + sshd.Address() + sftpRoot;

    for (const auto& row : rows) {
        SCOPED_TRACE(row.agent->RootDirectory);
        std::unique_ptr<CSiteAccess> access = CreateSiteAccess(*row.agent);
        CTextBuffer buffer;
        ASSERT_TRUE(access->ReadFile("/sub/binary.bin", buffer)) << access->LastError();
        EXPECT_EQ(buffer.View(), BinaryBytes());
        buffer.Assign("new " + BinaryBytes());
        ASSERT_TRUE(access->WriteFile("/sub/new file.bin", buffer)) << access->LastError();
        EXPECT_EQ(ReadWholeFile(row.root + "/sub/new file.bin"), "new " + BinaryBytes());
        EXPECT_FALSE(access->WriteFile("/nodir/x.html", buffer));
        EXPECT_TRUE(access->CreateDirectory("/agent \"dir\"/")) << access->LastError();
        EXPECT_TRUE(fs::is_directory(row.root + "/agent \"dir\""));
        const struct {
            const char* name;
            int32_t size;
            bool exists, directory, readOnly;
        } entries[] = {
            {"/index.html", 17, true, false, false},    {"/empty.html", 0, true, false, false},
            {"/readonly.html", 5, true, false, true},   {"/sub", -1, true, true, false},
            {"/missing.html", -1, false, false, false}, {"/nodir/x.html", -1, false, false, false},
        };
        for (const auto& e : entries) {
            EXPECT_EQ(access->GetFileSize(e.name), e.size) << e.name << access->LastError();
            EXPECT_EQ(access->Exists(e.name), e.exists) << e.name << access->LastError();
            EXPECT_EQ(access->IsDirectory(e.name), e.directory) << e.name;
            EXPECT_EQ(access->IsReadOnly(e.name), e.readOnly) << e.name;
        }
        EXPECT_EQ(access->GetFileSize("/missing.html"), -1);
        EXPECT_EQ(access->LastError(), "'/missing.html' not found");
        // Last: libcurl gives up an FTP connection whose command failed.
        EXPECT_FALSE(access->CreateDirectory("/a/b"));
    }
    // One login each, the FTP one with private data connections.
    EXPECT_EQ(secure.CountCommands("PASS"), 1);
    EXPECT_EQ(secure.CountCommands("PROT P"), 1);
    EXPECT_EQ(sshd.CountLogins(), 1);

    // An SFTP server whose host key is not the known one gets no login.
    sftp.CaFile = secure.Dir() + "/known_hosts";
    ASSERT_TRUE(CTempDir::WriteFileAt(secure.Dir(), "known_hosts",
                                      "[127.0.0.1]:" + std::to_string(sshd.Port()) + " " +
                                          ReadWholeFile(sshd.KeyFile() + ".pub")));
    auto stranger = CreateSiteAccess(sftp);
    EXPECT_EQ(stranger->GetFileSize("/index.html"), 0);
    EXPECT_EQ(stranger->LastError(), "SFTP server '" + sftp.RootDirectory +
                                         "': its host key is not the one known for it in '" +
                                         sftp.CaFile + "'");
    EXPECT_EQ(sshd.CountLogins(), 1);
}

// Names that climb out of the root are refused before anything is sent.
TEST_F(FtpSiteAccessTest, NamesLeavingTheRootAreRefused) {
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Dir(), "notes.html", "private notes"));
    auto access = Access();
    const std::string names[] = {"/../notes.html", "\\..\\notes.html"};
    for (const auto& name : names) {
        ExpectEveryOperationRefuses(*access, name);
    }
    EXPECT_FALSE(access->IsConnected());
    EXPECT_EQ(server.CountCommands("USER"), 0);
    EXPECT_EQ(ReadWholeFile(server.Dir() + "/notes.html"), "private notes");
}

// A line break in a name would end the command and start another: such names are refused.
TEST_F(FtpSiteAccessTest, NamesWithControlCharactersAreRefused) {
    auto access = Access();
    const std::string name = "/x.html\r\nDELE /index.html";
    CTextBuffer buffer;
    EXPECT_FALSE(access->ReadFile(name, buffer));
    EXPECT_EQ(access->LastError(), "The name '" + name + "' holds control characters");
    EXPECT_FALSE(access->CreateDirectory(name));
    EXPECT_FALSE(access->WriteFile(name, buffer));
    EXPECT_EQ(access->GetFileSize(name), -1);
    EXPECT_FALSE(access->Exists(name));
    EXPECT_EQ(server.CountCommands("DELE"), 0);
    EXPECT_TRUE(fs::exists(server.Root() + "/index.html"));
}

// A server that goes away, a port where nothing listens, a host that does not exist and a
// server that never answers all end in results, in bounded time.
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

    const uint16_t deadPort = FreeLoopbackPort();
    CFtpSiteAccess refused("127.0.0.1:" + std::to_string(deadPort), 0, "", "");
    EXPECT_FALSE(refused.TestConnection());
    EXPECT_EQ(refused.GetFileSize("/index.html"), 0);
    EXPECT_FALSE(refused.ReadFile("/index.html", buffer));
    EXPECT_FALSE(refused.Exists("/index.html"));
    EXPECT_FALSE(refused.IsDirectory("/sub"));
    EXPECT_FALSE(refused.IsConnected());
    EXPECT_EQ(
        refused.LastError().rfind("FTP server '127.0.0.1:" + std::to_string(deadPort) + "': ", 0),
        0u)
        << refused.LastError();

    // A label longer than 63 characters: the resolver refuses it without asking the network.
    const std::string unknown = std::string(64, 'a') + ".invalid";
    CFtpSiteAccess nowhere(unknown, 0, "", "");
    EXPECT_FALSE(nowhere.TestConnection());
    EXPECT_EQ(nowhere.GetFileSize("/index.html"), 0);

    CCannedServer silent;
    ASSERT_TRUE(silent.Start("", true));
    CFtpSiteAccess hanging("127.0.0.1:" + std::to_string(silent.Port()), 0, "", "");
    hanging.SetTimeouts(2, 2);
    EXPECT_FALSE(hanging.Connect());
    EXPECT_EQ(hanging.GetFileSize("/index.html"), 0);
}

}  // namespace
