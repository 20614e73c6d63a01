// The site backup: the pages of the graph or every file under the root, from the local disk or
// through the FTP connection; a failed or stopped backup keeps the earlier archive.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ArchiveReader.h"
#include "base/LastMessage.h"
#include "processing/Dzip.h"
#include "processing/SiteBackup.h"
#include "site/FtpSiteAccess.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "support/FtpServer.h"
#include "support/RecordingSink.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Entries = std::map<std::string, std::string>;

class BackupTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.WriteFile("www/index.html", "<html>home</html>"));
        ASSERT_TRUE(scratch.WriteFile("www/sub/a.htm", std::string(5000, 'a')));
        ASSERT_TRUE(scratch.WriteFile("www/README", "no dot"));
        ASSERT_TRUE(scratch.WriteFile("www/sub/logo.gif", "GIF89a"));
        map.SetAccess(std::make_unique<CLocalSiteAccess>(root));
        map.AddPage("/index.html");
        map.AddPage("/sub/a.htm");
        map.AddPage("/missing.html");
    }

    CTempDir scratch{"backup"};
    const std::string root = scratch / "www";
    const std::string prefix = root.substr(1) + "/";
    CSiteMap map{"index.html"};
};

TEST_F(BackupTest, PagesOrAllFilesGoIntoTheArchive) {
    const Entries pages = {{prefix + "index.html", "<html>home</html>"},
                           {prefix + "sub/a.htm", std::string(5000, 'a')}};
    Entries all = pages;
    all[prefix + "README"] = "no dot";
    all[prefix + "sub/logo.gif"] = "GIF89a";
    struct Case {
        const char* what;
        bool pagesOnly;
        std::string root, zip;
        Entries entries;
    };
    const Case cases[] = {
        {"the pages that exist", true, root, scratch / "site.zip", pages},
        // The archive lies inside the site: it must not go into itself.
        {"all files, recursively", false, root + "\\", root + "/backup.zip", all},
        {"again, with the earlier archive in the site", false, root, root + "/backup.zip", all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingSink sink;
        ASSERT_TRUE(Backup(map, c.root, c.pagesOnly, c.zip, &sink));
        EXPECT_EQ(ReadArchive(c.zip), c.entries);
        EXPECT_FALSE(sink.statuses.empty());
        EXPECT_TRUE(sink.messages.empty());
    }

    // A graph whose pages do not exist: an empty, valid archive.
    CSiteMap empty("index.html");
    empty.SetAccess(std::make_unique<CLocalSiteAccess>(root));
    empty.AddPage("/nothing.html");
    ASSERT_TRUE(Backup(empty, root, true, scratch / "empty.zip", nullptr));
    EXPECT_EQ(ReadWholeFile(scratch / "empty.zip"), "PK\5\6" + std::string(18, '\0'));
}

TEST_F(BackupTest, AFailedOrStoppedBackupKeepsTheEarlierArchive) {
    const std::string zip = scratch / "site.zip";
    ASSERT_TRUE(Backup(map, root, true, zip, nullptr));
    const std::string before = ReadWholeFile(zip);

    // A listed page that cannot be read any more.
    map.AddPage("/gone.html")->Size = 10;
    RecordingSink sink;
    EXPECT_FALSE(Backup(map, root, true, zip, &sink));
    EXPECT_EQ(GetLastMessage(), "Site Backup failed. Aborting...");
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"Site Backup failed. Aborting..."}));
    EXPECT_EQ(ReadWholeFile(zip), before);

    // Stop pressed while the archive is written: nothing shown, nothing left behind.
    RecordingSink stopping;
    stopping.stopAfter = 1;
    EXPECT_FALSE(Backup(map, root, false, zip, &stopping));
    EXPECT_TRUE(stopping.messages.empty());
    EXPECT_EQ(ReadWholeFile(zip), before);
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(scratch.Path())) {
        left.insert(e.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"site.zip", "www"}));

    // No directory to write into; no command for the archive writer.
    EXPECT_FALSE(Backup(map, root, false, scratch / "no/x.zip", nullptr));
    EXPECT_EQ(dzip(nullptr), kDzipFailed);
}

// A site on an FTP server: its root is no local directory, so the backup reads the pages
// through the site's access object.
TEST(RemoteBackup, PagesOfAnFtpSiteAreReadThroughTheSite) {
    CFtpServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "index.html", "<html>ftp home</html>"));
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "docs/a.html", "<html>a</html>"));
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "img/x.gif", "GIF89a"));
    CTempDir local("remote-backup");
    CSiteMap map("index.html");
    map.SetAccess(
        std::make_unique<CFtpSiteAccess>(server.Address(), 0, server.User(), server.Password()));
    map.AddPage("/index.html");
    map.AddPage("/docs/a.html");
    map.AddPage("/docs/missing.html");
    map.AddFile("/img/x.gif");

    const std::string zip = local / "ftp.zip";
    Entries entries = {{"index.html", "<html>ftp home</html>"}, {"docs/a.html", "<html>a</html>"}};
    ASSERT_TRUE(Backup(map, server.Address(), true, zip, nullptr));
    EXPECT_EQ(ReadArchive(zip), entries);
    ASSERT_TRUE(Backup(map, server.Address(), false, zip, nullptr));
    entries["img/x.gif"] = "GIF89a";  // the graph's other files too
    EXPECT_EQ(ReadArchive(zip), entries);
    const std::string before = ReadWholeFile(zip);

    // A page that vanishes between sizing and reading: the backup fails, the archive stays.
    map.AddPage("/late.html")->Size = 10;
    RecordingSink sink;
    EXPECT_FALSE(Backup(map, server.Address(), true, zip, &sink));
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"Site Backup failed. Aborting..."}));
    EXPECT_EQ(ReadWholeFile(zip), before);
}

}  // namespace
