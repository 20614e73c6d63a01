// The pure parts of the site access: which names stay inside the root, how server addresses
// are read, how HTTP answers are read (header fields, redirect targets, request targets), and
// which access object an agent gets.
#include <gtest/gtest.h>

#include <string>

#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "site/ServerAddress.h"
#include "site/SiteAccess.h"

namespace {

TEST(SiteNames, StaysInsideRoot) {
    struct Case {
        std::string name;
        bool inside;
    };
    const Case cases[] = {
        {"/index.html", true},
        {"", true},
        {"/", true},
        {"/a/b/../c.html", true},
        {"/a/./b/", true},
        {"/a/..", true},
        {"/...", true},
        {"/..html", true},
        {"/list.asp?file=../../x", true},  // a query holds two segments that go back to the root
        {"/..", false},
        {"/../../home/someone/notes.html", false},
        {"/a/../../b", false},
        {"..", false},
        {"/a/b/../../../c", false},
        {"\\..\\windows", false},
        {"/a\\..\\..\\b", false},
        {"/%2e%2e/secret", false},
        {"/%2E%2e%2fsecret", false},
        {"/a/%2e%2e%2f%2e%2e/b", false},
        {"/%252e%252e/x", true},  // decoded once it is "%2e%2e", a plain name to any server
        {std::string("/a\0b", 4), false},
        {"/a%00b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CSiteAccess::StaysInsideRoot(c.name), c.inside) << c.name;
    }
}

TEST(SiteNames, ServerAddress) {
    struct Case {
        const char* text;
        bool ok;
        const char* scheme;
        const char* host;
        uint16_t port;
        const char* path;
    };
    const Case cases[] = {
        {"ftp.example.com", true, "", "ftp.example.com", 0, ""},
        {"  www.example.com  ", true, "", "www.example.com", 0, ""},
        {"127.0.0.1:2121", true, "", "127.0.0.1", 2121, ""},
        {"FTP://ftp.example.com:21/", true, "ftp", "ftp.example.com", 21, ""},
        {"http://www.example.com/shop//items/", true, "http", "www.example.com", 0, "/shop/items"},
        {"ftp.example.com\\public_html", true, "", "ftp.example.com", 0, "/public_html"},
        {"[::1]:8080", true, "", "[::1]", 8080, ""},
        {"[::1]", true, "", "[::1]", 0, ""},
        {"", false, "", "", 0, ""},
        {"   ", false, "", "", 0, ""},
        {"://host", false, "", "", 0, ""},
        {"host:", false, "", "", 0, ""},
        {"host:0", false, "", "", 0, ""},
        {"host:65536", false, "", "", 0, ""},
        {"host:12a", false, "", "", 0, ""},
        {"user@host", false, "", "", 0, ""},
        {"bad host", false, "", "", 0, ""},
        {"[::1", false, "", "", 0, ""},
        {"[::1]x", false, "", "", 0, ""},
        {"[zz]", false, "", "", 0, ""},
        {"host/dir\r\nDELE x", false, "", "", 0, ""},
        {"/srv/www", false, "", "", 0, ""},
    };
    for (const auto& c : cases) {
        CServerAddress address;
        address.Port = 99;
        EXPECT_EQ(address.Parse(c.text), c.ok) << c.text;
        EXPECT_EQ(address.Scheme, c.scheme) << c.text;
        EXPECT_EQ(address.Host, c.host) << c.text;
        EXPECT_EQ(address.Port, c.port) << c.text;
        EXPECT_EQ(address.Path, c.path) << c.text;
    }
    CServerAddress address;
    ASSERT_TRUE(address.Parse("example.com:8080"));
    EXPECT_EQ(address.HostAndPort(), "example.com:8080");
    address.Port = 0;
    EXPECT_EQ(address.HostAndPort(), "example.com");
}

TEST(SiteNames, FindHeader) {
    const std::string headers =
        "HTTP/1.1 302 Found\r\n"
        "Content-Location: http://elsewhere.example/wrong.html\r\n"
        "X-Location: also-wrong\r\n"
        "location:   http://127.0.0.1:8080/right.html  \r\n"
        "Location: http://127.0.0.1/second.html\r\n"
        "\r\n";
    std::string value;
    ASSERT_TRUE(CHttpSiteAccess::FindHeader(headers, "Location", value));
    EXPECT_EQ(value, "http://127.0.0.1:8080/right.html");
    ASSERT_TRUE(CHttpSiteAccess::FindHeader(headers, "content-location", value));
    EXPECT_EQ(value, "http://elsewhere.example/wrong.html");
    EXPECT_FALSE(CHttpSiteAccess::FindHeader(headers, "Server", value));
    // Bare LF line ends, and a field at the very end without any line end.
    ASSERT_TRUE(CHttpSiteAccess::FindHeader("HTTP/1.0 301 Moved\nLOCATION:/a", "Location", value));
    EXPECT_EQ(value, "/a");
    EXPECT_FALSE(CHttpSiteAccess::FindHeader("HTTP/1.1 302 Found\r\nContent-Location: /x\r\n",
                                             "Location", value));
    EXPECT_FALSE(CHttpSiteAccess::FindHeader("", "Location", value));
}

TEST(SiteNames, ResolveRedirect) {
    struct Case {
        const char* location;
        bool ok;
        const char* scheme;
        const char* host;
        uint16_t port;
        const char* object;
    };
    const std::string from = "http://www.example.com:8080/dir/page.html?x=1";
    const Case cases[] = {
        {"http://www.example.com/other.html", true, "http", "www.example.com", 80, "/other.html"},
        {"http://WWW.Example.com:9090/a%20b.html?q=2#top", true, "http", "WWW.Example.com", 9090,
         "/a%20b.html?q=2"},
        {"/root.html", true, "http", "www.example.com", 8080, "/root.html"},
        {"next.html", true, "http", "www.example.com", 8080, "/dir/next.html"},
        {"../up.html", true, "http", "www.example.com", 8080, "/up.html"},
        {"//other.example/x", true, "http", "other.example", 80, "/x"},
        {"https://www.example.com/secure.html", true, "https", "www.example.com", 443,
         "/secure.html"},
        {"ftp://www.example.com/file", true, "ftp", "www.example.com", 21, "/file"},
        {"http://www.example.com", true, "http", "www.example.com", 80, "/"},
        {"", false, "", "", 0, ""},
        {"http://", false, "", "", 0, ""},
        {"http://host:99999/", false, "", "", 0, ""},
    };
    for (const auto& c : cases) {
        CHttpSiteAccess::SRedirect target;
        EXPECT_EQ(CHttpSiteAccess::ResolveRedirect(from, c.location, target), c.ok) << c.location;
        if (c.ok) {
            EXPECT_EQ(target.scheme, c.scheme) << c.location;
            EXPECT_EQ(target.host, c.host) << c.location;
            EXPECT_EQ(target.port, c.port) << c.location;
            EXPECT_EQ(target.object, c.object) << c.location;
        }
    }
}

TEST(SiteNames, RequestTarget) {
    struct Case {
        std::string name;
        const char* target;
    };
    const Case cases[] = {
        {"/index.html", "/index.html"},
        {"index.html", "/index.html"},
        {"", "/"},
        {"/list.asp?id=3&x=a+b", "/list.asp?id=3&x=a+b"},
        {"/a b.html", "/a%20b.html"},
        {"/a%20b.html", "/a%20b.html"},
        {"/100%.html", "/100%25.html"},
        {"/page.html#section", "/page.html"},
        {"/\"<x>\"\\{|}^`.html", "/%22%3Cx%3E%22%5C%7B%7C%7D%5E%60.html"},
        {"/caf\xc3\xa9.html", "/caf%C3%A9.html"},
        {"/a\r\nHost: evil", "/a%0D%0AHost:%20evil"},
        {"/~user/(1);a=b:c@d!$'*,", "/~user/(1);a=b:c@d!$'*,"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CHttpSiteAccess::RequestTarget(c.name), c.target) << c.name;
    }
}

// The variant shows in its root: local "/srv/www/", FTP "/", HTTP "" (none: no object).
TEST(SiteNames, FactoryChoosesTheVariant) {
    struct Case {
        bool dynamic;
        int32_t type;
        const char* root;
    };
    const Case cases[] = {
        {false, kSiteLocal, "/srv/www/"},
        {false, kSiteFtp, "/"},
        {false, kSiteHttp, ""},
        {true, kSiteLocal, ""},
        {true, kSiteFtp, ""},
        {true, 7, ""},
        {false, 3, nullptr},
        {false, -1, nullptr},
    };
    for (const auto& c : cases) {
        CAgentSettings agent(0);
        agent.IsDynamicSite = c.dynamic;
        agent.SiteFileType = c.type;
        agent.DomainName = "www.example.com";
        agent.RootDirectory = c.type == kSiteLocal ? "/srv/www" : "ftp.example.com";
        std::unique_ptr<CSiteAccess> access = CreateSiteAccess(agent);
        ASSERT_EQ(access != nullptr, c.root != nullptr) << c.dynamic << " " << c.type;
        if (access) {
            EXPECT_EQ(access->GetRoot(), c.root) << c.dynamic << " " << c.type;
        }
    }
}

// Addresses that name no server make every operation fail at once, with the reason, and never
// reach the network.
TEST(SiteNames, BadAddressesFailEveryOperation) {
    CTextBuffer buffer;
    CFtpSiteAccess ftp("http://ftp.example.com", 0, "", "");
    EXPECT_FALSE(ftp.TestConnection());
    EXPECT_EQ(ftp.LastError(), "'http://ftp.example.com' is not an FTP server address");
    EXPECT_FALSE(ftp.ReadFile("/index.html", buffer));
    EXPECT_EQ(ftp.LastError(), "'http://ftp.example.com' is not an FTP server address");
    EXPECT_EQ(ftp.GetFileSize("/index.html"), 0);
    EXPECT_FALSE(ftp.IsConnected());

    for (const char* server : {"", "www.example.com/shop", "ftp://www.example.com"}) {
        CHttpSiteAccess http(server);
        EXPECT_FALSE(http.ReadFile("/index.html", buffer)) << server;
        EXPECT_EQ(http.LastError(), std::string("'") + server + "' is not an HTTP server address");
        EXPECT_EQ(http.GetFileSize("/index.html"), 0);
        EXPECT_FALSE(http.WriteFile("/index.html", buffer));
    }
    EXPECT_EQ(buffer.Length(), 0);
}

}  // namespace
