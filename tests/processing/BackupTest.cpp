#include <gtest/gtest.h>
#include <zip.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
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

class BackupTest : public testing::Test {
  protected:
    void SetUp() override {
        root = base / "www";
        fs::create_directories(root / "sub");
        Write(root / "index.html", "<html>home</html>");
        Write(root / "sub" / "a.htm", std::string(5000, 'a'));
        Write(root / "README", "no dot");
        Write(root / "sub" / "logo.gif", "GIF89a");
        map = std::make_unique<CSiteMap>("index.html");
        map->SetAccess(std::make_unique<CLocalSiteAccess>(root.string()));
        map->AddPage("/index.html");
        map->AddPage("/sub/a.htm");
        map->AddPage("/missing.html");
    }
    static void Write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }

    CTempDir scratch{"backup"};
    fs::path base = scratch.Path(), root;
    std::unique_ptr<CSiteMap> map;
};

TEST_F(BackupTest, PagesOnlyTakesThePagesThatExist) {
    EXPECT_EQ(BackupItemList(*map, root.string() + "/", true),
              "\"" + root.string() + "/index.html\" \"" + root.string() + "/sub/a.htm\"");
    RecordingSink sink;
    fs::path zip = base / "site.zip";
    ASSERT_TRUE(Backup(*map, root.string(), true, zip.string(), &sink));
    auto entries = ReadArchive(zip);
    std::string prefix = root.string().substr(1) + "/";
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[prefix + "index.html"], "<html>home</html>");
    EXPECT_EQ(entries[prefix + "sub/a.htm"], std::string(5000, 'a'));
    EXPECT_FALSE(sink.statuses.empty());
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(sink.titles, (std::vector<std::string>{"Site Backup to site.zip"}));
}

TEST_F(BackupTest, AllFilesRecurseAndLeaveTheArchiveOut) {
    EXPECT_EQ(BackupItemList(*map, root.string(), false), root.string() + "/*.*");
    // The archive lies inside the site: it must not go into itself.
    fs::path zip = root / "backup.zip";
    ASSERT_TRUE(Backup(*map, root.string() + "\\", false, zip.string(), nullptr));
    auto entries = ReadArchive(zip);
    std::string prefix = root.string().substr(1) + "/";
    std::vector<std::string> names;
    for (const auto& [name, data] : entries)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{prefix + "README", prefix + "index.html",
                                               prefix + "sub/a.htm", prefix + "sub/logo.gif"}));
    // Once more, with the earlier archive now in the site: still not taken in.
    ASSERT_TRUE(Backup(*map, root.string(), false, zip.string(), nullptr));
    EXPECT_EQ(ReadArchive(zip).size(), 4u);
}

TEST_F(BackupTest, BackslashItemsAndEmptyLists) {
    // Items arrive with backslashes, as the zipper hands them over.
    std::string items = "\"" + root.string() + "/index.html\"";
    for (char& c : items)
        if (c == '/')
            c = '\\';
    DzipCommand command;
    command.operation = kDzipAddToArchive;
    std::string zip = (base / "direct.zip").string();
    command.zipName = zip.c_str();
    command.itemList = items.c_str();
    EXPECT_EQ(dzip(&command), 0);
    EXPECT_EQ(ReadArchive(zip).size(), 1u);

    command.operation = 1;
    EXPECT_EQ(dzip(&command), kDzipFailed);
    EXPECT_EQ(dzip(nullptr), kDzipFailed);

    // A graph whose pages do not exist: an empty item list gives an empty, valid archive.
    CSiteMap empty("index.html");
    empty.SetAccess(std::make_unique<CLocalSiteAccess>(root.string()));
    empty.AddPage("/nothing.html");
    EXPECT_EQ(BackupItemList(empty, root.string(), true), "");
    fs::path emptyZip = base / "empty.zip";
    ASSERT_TRUE(Backup(empty, root.string(), true, emptyZip.string(), nullptr));
    EXPECT_EQ(fs::file_size(emptyZip), 22u);
    int error = 0;
    zip_t* z = zip_open(emptyZip.c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(zip_get_num_entries(z, 0), 0);
    zip_close(z);
}

TEST_F(BackupTest, AFailedOrStoppedBackupKeepsTheEarlierArchive) {
    fs::path zip = base / "site.zip";
    ASSERT_TRUE(Backup(*map, root.string(), true, zip.string(), nullptr));
    const std::string before = ReadWholeFile(zip);

    // A listed page that cannot be read any more.
    CSitePage* gone = map->AddPage("/gone.html");
    gone->Size = 10;
    RecordingSink sink;
    EXPECT_FALSE(Backup(*map, root.string(), true, zip.string(), &sink));
    EXPECT_EQ(GetLastMessage(), "Site Backup failed. Aborting...");
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"Site Backup failed. Aborting..."}));
    EXPECT_EQ(ReadWholeFile(zip), before);

    // Stop pressed while the archive is written: the callback answers nonzero, nothing shown.
    RecordingSink stopping;
    stopping.stopAfter = 1;
    EXPECT_FALSE(Backup(*map, root.string(), false, zip.string(), &stopping));
    EXPECT_TRUE(stopping.messages.empty());
    EXPECT_EQ(ReadWholeFile(zip), before);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(base))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"site.zip", "www"}));

    // No directory to write into.
    EXPECT_FALSE(Backup(*map, root.string(), false, (base / "no" / "x.zip").string(), nullptr));
}

}  // namespace

namespace {

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

    const std::string zip = local.Path() + "/ftp.zip";
    RecordingSink sink;
    ASSERT_TRUE(Backup(map, server.Address(), true, zip, &sink));
    auto entries = ReadArchive(zip);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries["index.html"], "<html>ftp home</html>");
    EXPECT_EQ(entries["docs/a.html"], "<html>a</html>");
    EXPECT_TRUE(sink.messages.empty());

    ASSERT_TRUE(Backup(map, server.Address(), false, zip, nullptr));
    EXPECT_EQ(ReadArchive(zip).size(), 3u);  // the graph's other files too
    const std::string before = ReadWholeFile(zip);

    // A page that vanishes between sizing and reading: the backup fails, the archive stays.
    CSitePage* late = map.AddPage("/late.html");
    late->Size = 10;
    EXPECT_FALSE(Backup(map, server.Address(), true, zip, &sink));
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"Site Backup failed. Aborting..."}));
    EXPECT_EQ(ReadWholeFile(zip), before);
}

}  // namespace
