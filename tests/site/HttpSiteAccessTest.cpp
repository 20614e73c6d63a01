// The HTTP site access against a real nginx on loopback (static files, redirects of every kind,
// basic authentication, error pages, PUT), and against canned replies for answers nginx will
// not give.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "SiteChecks.h"
#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "base/LastMessage.h"
#include "site/HttpSiteAccess.h"
#include "support/CannedServer.h"
#include "support/NginxServer.h"
#include "support/TestCertificate.h"

using namespace std::string_literals;

namespace {

const char* const kLocations = R"(
        location = /moved-port { return 302 http://127.0.0.1:{port1}/target.html; }
        location = /moved-host-case { return 301 http://LOCALHOST:{port}/index.html; }
        location = /other-host { return 301 http://other.invalid:{port}/index.html; }
        location = /to-https { return 301 https://127.0.0.1:{port}/index.html; }
        location = /chain1 { return 302 http://127.0.0.1:{port}/chain2; }
        location = /chain2 { return 302 http://127.0.0.1:{port}/index.html; }
        location = /see-other { return 303 http://127.0.0.1:{port}/sub/page.html; }
        location = /temporary { return 307 http://127.0.0.1:{port}/index.html; }
        location = /permanent { return 308 http://127.0.0.1:{port}/index.html; }
        location = /relative {
            absolute_redirect off;
            return 302 /sub/page.html;
        }
        location = /query { return 302 http://127.0.0.1:{port}/index.html?from=query; }
        location = /error500 { return 500 "server trouble\n"; }
        location = /gone { return 404 "gone\n"; }
        location /private/ {
            auth_basic "Tarvik test";
            auth_basic_user_file {dir}/htpasswd;
            dav_methods PUT;
        }
        location /upload/ {
            dav_methods PUT;
            create_full_put_path off;
            client_max_body_size 0;
        }
)";

const char* const kSecondServer = R"(
    server {
        listen 127.0.0.1:{port1};
        server_name localhost;
        root {root}/second;
    }
    server {
        listen 127.0.0.1:{port2} ssl;
        server_name localhost;
        ssl_certificate {dir}/cert.pem;
        ssl_certificate_key {dir}/key.pem;
        root {root};
        location = /moved { return 302 https://127.0.0.1:{port2}/sub/page.html; }
        location = /to-http { return 302 http://127.0.0.1:{port2}/sub/page.html; }
    }
)";

class HttpSiteAccessTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string& root = nginx.DocRoot();
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "index.html", "<html>home</html>"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "sub/page.html", "page"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "a b.html", "blank in the name"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "private/secret.html", "secret"));
        ASSERT_TRUE(CTempDir::WriteFileAt(root, "second/target.html", "second port"));
        ASSERT_TRUE(CTempDir::MakeDirAt(root, "upload", 0777));
        ASSERT_TRUE(CTempDir::MakeDirAt(root, "private", 0777));
        // nginx reads its password file in plain text form here: user alice, password
        // "wonder land".
        ASSERT_TRUE(CTempDir::WriteFileAt(nginx.Dir(), "htpasswd", "alice:{PLAIN}wonder land\n"));
        CNginxServer::Options options;
        options.serverDirectives = kLocations;
        options.httpDirectives = kSecondServer;
        options.extraPorts = 2;
        ASSERT_TRUE(MakeTestCertificate(nginx.Dir()));
        ASSERT_TRUE(nginx.Start(options));
        server = "127.0.0.1:" + std::to_string(nginx.Port());
        SetLastMessageText("");
    }

    std::unique_ptr<CHttpSiteAccess> Access(const std::string& user = "",
                                            const std::string& password = "") {
        auto access = std::make_unique<CHttpSiteAccess>(server, 0, user, password);
        access->SetTimeouts(10, 20);
        return access;
    }

    // How many requests reached nginx before this call: a last request marks the end, so that
    // a request logged late is counted all the same.
    int RequestsSoFar() {
        CHttpSiteAccess marker(server);
        CTextBuffer ignored;
        EXPECT_TRUE(marker.ReadFile("/index.html?end-marker", ignored));
        EXPECT_TRUE(nginx.WaitForAccessLog("end-marker"));
        return nginx.LoggedRequests(0) - 1;
    }

    CNginxServer nginx;
    std::string server;
};

TEST_F(HttpSiteAccessTest, ReadsResourcesWhateverTheirStatus) {
    auto access = Access();
    struct Case {
        const char* name;
        const char* content;
    };
    const Case cases[] = {
        {"/a b.html", "blank in the name"},
        {"/a%20b.html", "blank in the name"},
        {"/index.html?x=1#top", "<html>home</html>"},
        {"sub/page.html", "page"},
        // Error pages are content: the read succeeds.
        {"/gone", "gone\n"},
        {"/error500", "server trouble\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTextBuffer body;
        ASSERT_TRUE(access->ReadFile(c.name, body)) << access->LastError();
        EXPECT_EQ(body.View(), c.content);
        EXPECT_EQ(access->GetFileSize(c.name), body.Length());
        EXPECT_EQ(access->LastError(), "");
    }
    EXPECT_EQ(GetLastMessage(), "");
}

// At most one redirect is followed, over plain HTTP, to the same host (any case, any port).
TEST_F(HttpSiteAccessTest, FollowsOneRedirectOnTheSameServer) {
    struct Case {
        const char* server;  // "" for 127.0.0.1 and the port
        const char* name;
        bool ok;
        const char* content;
        std::string error;
    };
    const std::string port = std::to_string(nginx.Port());
    auto away = [&](const std::string& name, const std::string& scheme, const std::string& host) {
        return "Not following the redirect of '" + name + "' to '" + scheme + "://" + host + ":" +
               port + "/index.html': it leaves server '127.0.0.1'";
    };
    const Case cases[] = {
        {"", "/moved-port", true, "second port", ""},
        {"", "/see-other", true, "page", ""},
        {"", "/temporary", true, "<html>home</html>", ""},
        {"", "/permanent", true, "<html>home</html>", ""},
        {"", "/relative", true, "page", ""},
        {"", "/query", true, "<html>home</html>", ""},
        {"localhost", "/moved-host-case", true, "<html>home</html>", ""},
        {"", "/moved-host-case", false, "", away("/moved-host-case", "http", "LOCALHOST")},
        {"", "/other-host", false, "", away("/other-host", "http", "other.invalid")},
        {"", "/to-https", false, "", away("/to-https", "https", "127.0.0.1")},
        {"", "/chain1", false, "", "'/chain1' on server '127.0.0.1' redirects more than once"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string address = *c.server ? std::string(c.server) + ":" + port : server;
        CHttpSiteAccess access(address);
        CTextBuffer buffer;
        buffer.Assign("kept:");
        EXPECT_EQ(access.ReadFile(c.name, buffer), c.ok) << access.LastError();
        EXPECT_EQ(buffer.View(), "kept:"s + c.content);
        EXPECT_EQ(access.LastError(), c.error);
        EXPECT_EQ(access.GetFileSize(c.name), static_cast<int32_t>(strlen(c.content)));
    }
}

// 401 fails without credentials, and with them shows the user name but never the password.
TEST_F(HttpSiteAccessTest, AccessDeniedMessages) {
    const struct {
        const char* user;
        const char* password;
        const char* shown;  // nullptr: let in
    } rows[] = {
        {"", "", ""},
        {"alice", "wrong guess", " (user='alice', passwd='********')"},
        {"", "wonder land", " (user='', passwd='********')"},
        {"alice", "", " (user='alice', passwd='')"},
        {"alice", "wonder land", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.user) + "/" + row.password);
        auto expected = [&](const std::string& resource) {
            return row.shown == nullptr ? std::string()
                                        : "Access denied while accessing resource '" + resource +
                                              "' on server '127.0.0.1'" + row.shown;
        };
        SetLastMessageText("");
        auto access = Access(row.user, row.password);
        CTextBuffer buffer;
        buffer.Assign("kept:");
        EXPECT_EQ(access->ReadFile("/private/secret.html", buffer), row.shown == nullptr);
        EXPECT_EQ(buffer.View(), row.shown == nullptr ? "kept:secret" : "kept:");
        EXPECT_EQ(GetLastMessage(), expected("/private/secret.html"));
        EXPECT_EQ(access->LastError(), expected("/private/secret.html"));
        EXPECT_EQ(access->GetFileSize("/private/secret.html"), row.shown == nullptr ? 6 : 0);
        // Writing is refused the same way.
        SetLastMessageText("");
        EXPECT_EQ(access->WriteFile("/private/new.html", buffer), row.shown == nullptr);
        EXPECT_EQ(GetLastMessage(), expected("/private/new.html"));
    }
    EXPECT_EQ(ReadWholeFile(nginx.DocRoot() + "/private/new.html"), "kept:secret");
}

TEST_F(HttpSiteAccessTest, KeepsTheContractAndWritesWithPut) {
    auto access = Access();
    ExpectReadsAndWrites(*access, nginx.DocRoot(), "/upload/new file.bin");
    CTextBuffer text;
    text.Assign("refused");
    struct Case {
        const char* name;
        long status;
    };
    const Case cases[] = {
        {"/index.html", 405},           // no PUT there
        {"/upload/nodir/x.html", 500},  // directories are not made
        {"/moved-port", 302},           // a redirect is no success either
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(access->WriteFile(c.name, text));
        EXPECT_EQ(access->LastError(), "Server '127.0.0.1' answered " + std::to_string(c.status) +
                                           " to PUT '" + c.name + "'");
    }
    EXPECT_EQ(ReadWholeFile(nginx.DocRoot() + "/index.html"), "<html>home</html>");
}

// No directories or attributes, and names that climb out of the root: none of it asks the
// server.
TEST_F(HttpSiteAccessTest, NoDirectoriesAttributesOrNamesOutside) {
    auto access = Access();
    EXPECT_EQ(access->GetRoot(), "");
    for (const char* name : {"/index.html", "/missing.html", "/sub", "/"}) {
        EXPECT_TRUE(access->IsDirectory(name)) << name;
        EXPECT_TRUE(access->IsReadOnly(name)) << name;
        EXPECT_TRUE(access->Exists(name)) << name;
    }
    EXPECT_FALSE(access->CreateDirectory("/tarvik"));
    EXPECT_EQ(access->LastError(), "Directories cannot be created over HTTP");
    // The table of StaysInsideRoot holds the other spellings; HTTP cuts a fragment or a query.
    for (const char* name : {"/sub/../../index.html", "/..#top", "/sub/../..?q=1"}) {
        ExpectEveryOperationRefuses(*access, name);
    }
    EXPECT_EQ(RequestsSoFar(), 0);
}

// Made from an agent's settings (a dynamic site is read at its domain name). An https:// root:
// the certificate is verified against the agent's bundle (or the system's store), for the host
// asked for; a redirect must stay on HTTPS.
TEST_F(HttpSiteAccessTest, MadeFromAgentSettings) {
    const std::string port = std::to_string(nginx.ExtraPort(2));
    const std::string bundle = nginx.Dir() + "/cert.pem";
    const struct {
        std::string root, caFile, name, content, error;
    } rows[] = {
        {server, "", "/index.html", "<html>home</html>", ""},  // dynamic
        {"https://127.0.0.1:" + port, bundle, "/index.html", "<html>home</html>", ""},
        {"https://127.0.0.1:" + port + "/", bundle, "/moved", "page", ""},
        {"https://127.0.0.1:" + port, bundle, "/to-http", "",
         "Not following the redirect of '/to-http' to 'http://127.0.0.1:" + port +
             "/sub/page.html': it leaves server '127.0.0.1'"},
        {"https://127.0.0.1:" + port, "", "/index.html", "",
         "HTTP server 'https://127.0.0.1:" + port +
             "': SSL certificate problem: self-signed certificate"},
        {"https://localhost:" + port, bundle, "/index.html", "",
         "HTTP server 'https://localhost:" + port +
             "': SSL: no alternative certificate subject name matches target host name "
             "'localhost'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.root + row.name + " " + row.caFile);
        CAgentSettings agent(0);
        agent.SiteFileType = kSiteHttp;
        agent.IsDynamicSite = row.root == server;
        (agent.IsDynamicSite ? agent.DomainName : agent.RootDirectory) = row.root;
        agent.CaFile = row.caFile;
        std::unique_ptr<CSiteAccess> access = CreateSiteAccess(agent);
        CTextBuffer buffer;
        EXPECT_EQ(access->ReadFile(row.name, buffer), row.error.empty());
        EXPECT_EQ(buffer.View(), row.content);
        EXPECT_EQ(access->LastError(), row.error);
    }
}

// A server that goes away, or none to be had, ends in results.
TEST_F(HttpSiteAccessTest, BrokenConnectionsEndInResults) {
    auto access = Access();
    CTextBuffer buffer;
    ASSERT_TRUE(access->ReadFile("/index.html", buffer));
    nginx.Stop();
    buffer.Assign("kept");
    EXPECT_FALSE(access->ReadFile("/index.html", buffer));
    EXPECT_EQ(buffer.View(), "kept");
    EXPECT_EQ(access->LastError().rfind("HTTP server '" + server + "': ", 0), 0u)
        << access->LastError();
    EXPECT_EQ(access->GetFileSize("/index.html"), 0);
    EXPECT_FALSE(access->WriteFile("/upload/x.html", buffer));
    ExpectUnreachableServersFail("HTTP", [](const std::string& address) {
        return std::make_unique<CHttpSiteAccess>(address);
    });
}

// Answers nginx does not give: header names in any case, a "Content-Location" that is no
// "Location", a body cut short.
TEST_F(HttpSiteAccessTest, CannedHeadersAndBrokenAnswers) {
    const std::string target = "http://" + server + "/index.html";
    struct Case {
        std::string reply;
        bool ok;
        const char* content;
        const char* error;  // nullptr: libcurl's
    };
    const Case cases[] = {
        {"HTTP/1.1 302 Found\r\nlocation: " + target + "\r\nContent-Length: 0\r\n\r\n", true,
         "<html>home</html>", ""},
        {"HTTP/1.1 301 Moved\r\nLOCATION:" + target + "\r\nContent-Length: 5\r\n\r\nmoved", true,
         "<html>home</html>", ""},
        {"HTTP/1.1 302 Found\r\nContent-Location: " + target + "\r\nContent-Length: 0\r\n\r\n",
         false, "", "Server '127.0.0.1' redirected '/page.html' without saying where to"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part", false, "", nullptr},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end", true, "until the end", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        CCannedServer canned;
        ASSERT_TRUE(canned.Start(c.reply));
        CHttpSiteAccess access("127.0.0.1", canned.Port());
        CTextBuffer buffer;
        buffer.Assign("kept:");
        EXPECT_EQ(access.ReadFile("/page.html", buffer), c.ok) << access.LastError();
        EXPECT_EQ(buffer.View(), "kept:"s + c.content);
        if (c.error != nullptr) {
            EXPECT_EQ(access.LastError(), c.error);
        } else {
            EXPECT_EQ(access.LastError().rfind("HTTP server '127.0.0.1': ", 0), 0u)
                << access.LastError();
        }
        const auto requests = canned.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].rfind("GET /page.html HTTP/1.1\r\n", 0), 0u) << requests[0];
        EXPECT_NE(requests[0].find("\r\nUser-Agent: QV Tarvik\r\n"), std::string::npos);
    }
}

}  // namespace
