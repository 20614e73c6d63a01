// The local-disk site access on real files in a temporary directory, and the atomic file
// replacement beneath its writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SiteChecks.h"
#include "site/AtomicFile.h"
#include "site/LocalSiteAccess.h"
#include "support/Scoped.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

// Names of the temporary files a failed or finished write might leave beside a file.
std::vector<std::string> TempFilesIn(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

class LocalSiteAccessTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.MakeDir("site"));
        MakeSite(root);
        ASSERT_TRUE(dir.WriteFile("outside/notes.html", "private notes"));
    }

    CTempDir dir{"local-site"};
    std::string root = dir / "site";
};

TEST_F(LocalSiteAccessTest, RootIsNormalised) {
    struct Case {
        const char* root;
        const char* normalised;
    };
    const Case cases[] = {
        {"C:\\site\\www", "C:/site/www/"},
        {"C:\\site\\www\\", "C:/site/www/"},
        {"/srv/www", "/srv/www/"},
        {"/srv/www/", "/srv/www/"},
        {"\\srv\\www", "/srv/www/"},
        {"relative/www", "relative/www/"},
        {"/", "/"},
    };
    for (const auto& c : cases) {
        CLocalSiteAccess access(c.root);
        EXPECT_EQ(access.GetRoot(), c.normalised) << c.root;
    }
}

TEST_F(LocalSiteAccessTest, KeepsTheContract) {
    CLocalSiteAccess access(root);
    const std::string missing =
        "Could not read '" + root + "//missing.html': No such file or directory";
    ExpectFileSite(access, root, missing, missing);
    EXPECT_TRUE(TempFilesIn(root).empty());
}

// Each failure says why, with the path (a name follows the root's own slash as it is); nothing
// on disk changes.
TEST_F(LocalSiteAccessTest, FailuresSayWhy) {
    ASSERT_EQ(mkfifo((root + "/pipe.html").c_str(), 0644), 0);
    CLocalSiteAccess access(root);
    const std::string notRegular = "'%s' is not a regular file";
    const struct {
        char op;  // Read, Write, Size, mkDir
        const char* name;
        std::string message;
    } rows[] = {
        {'R', "/sub", notRegular},
        {'S', "/sub", notRegular},
        {'W', "/sub", notRegular},
        // Only regular files are read or sized: a pipe would block the run forever.
        {'R', "/pipe.html", notRegular},
        {'S', "/pipe.html", notRegular},
        {'W', "/pipe.html", notRegular},
        {'W', "/readonly.html", "'%s' is read-only"},
        {'W', "/nodir/x.html", "Could not write '%s': No such file or directory"},
        {'D', "/sub", "Could not create directory '%s': File exists"},
        {'D', "/a/b", "Could not create directory '%s': No such file or directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(1, row.op) + row.name);
        CTextBuffer buffer;
        buffer.Assign("kept");
        const bool done = row.op == 'R'   ? access.ReadFile(row.name, buffer)
                          : row.op == 'W' ? access.WriteFile(row.name, buffer)
                          : row.op == 'D' ? access.CreateDirectory(row.name)
                                          : access.GetFileSize(row.name) != -1;
        EXPECT_FALSE(done);
        std::string message = row.message;
        EXPECT_EQ(access.LastError(),
                  message.replace(message.find("%s"), 2, root + "/" + row.name));
        EXPECT_EQ(buffer.View(), "kept");
    }
    EXPECT_TRUE(access.Exists("/pipe.html"));
    EXPECT_EQ(ReadWholeFile(root + "/readonly.html"), "fixed");
    EXPECT_TRUE(TempFilesIn(root).empty());
}

TEST_F(LocalSiteAccessTest, WriteReplacesAtomicallyAndKeepsPermissions) {
    CLocalSiteAccess access(root);
    CTextBuffer text;
    text.Assign("<html>new</html>");

    // A new file takes the usual mode; a replaced one keeps its own.
    const mode_t mask = umask(022);
    ASSERT_TRUE(access.WriteFile("/new.html", text));
    umask(mask);
    EXPECT_EQ(StatOf(root + "/new.html").st_mode & 07777, 0644u);
    ASSERT_EQ(chmod((root + "/index.html").c_str(), 0640), 0);
    // Root may hand a file to its old owner again: a page of the web server's user stays so.
    const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
    const gid_t group = geteuid() == 0 ? 65534 : getegid();
    ASSERT_EQ(chown((root + "/index.html").c_str(), owner, group), 0);
    const ino_t before = StatOf(root + "/index.html").st_ino;
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    const struct stat after = StatOf(root + "/index.html");
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>new</html>");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, owner);
    EXPECT_EQ(after.st_gid, group);
    EXPECT_NE(after.st_ino, before);  // a new file renamed over the old one

    // The same contents again: nothing is replaced (same inode), and one sync covers the lot.
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    EXPECT_EQ(StatOf(root + "/index.html").st_ino, after.st_ino);
    text.Assign("<html>NEW</html>");  // same size, other bytes: replaced
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    EXPECT_NE(StatOf(root + "/index.html").st_ino, after.st_ino);
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>NEW</html>");
    EXPECT_TRUE(access.Sync());

    // A write that fails half-way (here: the file-size limit, which binds root too) leaves the
    // old file whole.
    text.Assign(std::string(300000, 'x'));
    EXPECT_FALSE(WithFileSizeLimit(100000, [&] { return access.WriteFile("/index.html", text); }));
    EXPECT_EQ(access.LastError(), "Could not write '" + root + "//index.html': File too large");
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>NEW</html>");

    // A page that is a symbolic link stays a link; the file it points to gets the new contents.
    ASSERT_TRUE(dir.WriteFile("site/shared/real.html", "old"));
    ASSERT_EQ(symlink("shared/real.html", (root + "/linked.html").c_str()), 0);
    ASSERT_TRUE(access.WriteFile("/linked.html", text));
    EXPECT_TRUE(fs::is_symlink(root + "/linked.html"));
    EXPECT_EQ(ReadWholeFile(root + "/shared/real.html"), text.View());
    EXPECT_TRUE(TempFilesIn(root).empty());
    EXPECT_TRUE(TempFilesIn(root + "/shared").empty());
}

// Names from pages and logs that climb out of the root reach nothing outside it, and an empty
// root is no site: it never stands for the file-system root.
TEST_F(LocalSiteAccessTest, NamesLeavingTheRootAreRefused) {
    CLocalSiteAccess access(root);
    const std::string names[] = {"/../outside/notes.html", "/%2e%2e/outside/notes.html", "/.."};
    for (const auto& name : names) {
        ExpectEveryOperationRefuses(access, name);
    }
    // Symbolic links in the site that lead out of it (to a file, a folder, or nowhere yet).
    ASSERT_EQ(symlink("../outside/notes.html", (root + "/out.html").c_str()), 0);
    ASSERT_EQ(symlink("../outside", (root + "/outdir").c_str()), 0);
    ASSERT_EQ(symlink("../outside/none.html", (root + "/gone.html").c_str()), 0);
    for (const char* name : {"/out.html", "/outdir/notes.html", "/outdir/new.html", "/gone.html"}) {
        ExpectEveryOperationRefuses(access, name);
    }
    CLocalSiteAccess none("");
    EXPECT_EQ(none.GetRoot(), "");
    ExpectEveryOperationRefuses(none, dir / "outside/notes.html",
                                "No root directory is set for the site");
    EXPECT_FALSE(fs::exists(dir / "outside/none.html"));
    EXPECT_EQ(ReadWholeFile(dir / "outside/notes.html"), "private notes");
}

// What the site's writes do not ask of the atomic file: a mode taken exactly, and why Open failed.
TEST(AtomicFile, ExactModeAndErrors) {
    CTempDir dir("atomic");
    ASSERT_TRUE(CAtomicFile::Replace(dir / "exact.txt", "x", 0600, true));
    EXPECT_EQ(StatOf(dir / "exact.txt").st_mode & 07777, 0600u);

    CAtomicFile onDir(dir.Path());
    EXPECT_FALSE(onDir.Open());
    EXPECT_EQ(onDir.ErrorNumber(), EISDIR);
    CAtomicFile noDir(dir / "missing/x.txt");
    EXPECT_FALSE(noDir.Open());
    EXPECT_EQ(noDir.ErrorNumber(), ENOENT);
    EXPECT_FALSE(noDir.Commit());
}

}  // namespace
