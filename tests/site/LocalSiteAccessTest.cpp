// The local-disk site access on real files in a temporary directory, and the atomic file
// replacement beneath its writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
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

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
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
        ASSERT_TRUE(dir.WriteFile("site/index.html", "<html>home</html>"));
        ASSERT_TRUE(dir.WriteFile("site/sub/page.html", "page"));
        ASSERT_TRUE(dir.WriteFile("site/empty.html", ""));
        ASSERT_TRUE(dir.WriteFile("outside/notes.html", "private notes"));
        root = dir / "site";
    }

    CTempDir dir{"local-site"};
    std::string root;
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
    // Names follow the root as they are, so a name's own slash doubles the root's.
    EXPECT_EQ(CLocalSiteAccess("C:\\site\\www").LocalPath("/index.html"),
              "C:/site/www//index.html");
    EXPECT_EQ(CLocalSiteAccess("/srv/www").LocalPath("/../etc/passwd"), "");
}

TEST_F(LocalSiteAccessTest, ReadsSizesAndAnswersQuestions) {
    CLocalSiteAccess access(root);
    CTextBuffer buffer;
    buffer.Assign("before:");
    ASSERT_TRUE(access.ReadFile("/index.html", buffer));
    EXPECT_EQ(buffer.View(), "before:<html>home</html>");  // appended
    EXPECT_EQ(access.LastError(), "");

    // A file larger than one read chunk, with every byte value.
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big.push_back(static_cast<char>(i * 7));
    ASSERT_TRUE(dir.WriteFile("site/big.bin", big));
    CTextBuffer whole;
    ASSERT_TRUE(access.ReadFile("/big.bin", whole));
    EXPECT_EQ(whole.View(), big);
    EXPECT_EQ(access.GetFileSize("/big.bin"), 200000);

    EXPECT_EQ(access.GetFileSize("/index.html"), 17);
    EXPECT_EQ(access.GetFileSize("/empty.html"), 0);
    EXPECT_EQ(access.GetFileSize("/missing.html"), -1);
    EXPECT_EQ(access.LastError(),
              "Could not read '" + root + "//missing.html': No such file or directory");
    EXPECT_EQ(access.GetFileSize("/sub"), -1);
    EXPECT_EQ(access.LastError(), "'" + root + "//sub' is not a regular file");

    buffer.Assign("kept");
    EXPECT_FALSE(access.ReadFile("/missing.html", buffer));
    EXPECT_FALSE(access.ReadFile("/sub", buffer));
    EXPECT_EQ(access.LastError(), "'" + root + "//sub' is not a regular file");
    EXPECT_EQ(buffer.View(), "kept");

    EXPECT_TRUE(access.Exists("/index.html"));
    EXPECT_TRUE(access.Exists("/sub"));
    EXPECT_FALSE(access.Exists("/missing.html"));
    EXPECT_TRUE(access.IsDirectory("/sub"));
    EXPECT_TRUE(access.IsDirectory("/sub/"));
    EXPECT_TRUE(access.IsDirectory("/"));
    EXPECT_FALSE(access.IsDirectory("/index.html"));
    EXPECT_FALSE(access.IsDirectory("/missing"));
    EXPECT_FALSE(access.IsReadOnly("/index.html"));
    EXPECT_FALSE(access.IsReadOnly("/missing.html"));
    ASSERT_EQ(chmod((dir / "site/index.html").c_str(), 0444), 0);
    EXPECT_TRUE(access.IsReadOnly("/index.html"));
}

TEST_F(LocalSiteAccessTest, CreatesOneDirectory) {
    CLocalSiteAccess access(root);
    EXPECT_TRUE(access.CreateDirectory("/tarvik"));
    EXPECT_TRUE(fs::is_directory(root + "/tarvik"));
    EXPECT_FALSE(access.CreateDirectory("/tarvik"));
    EXPECT_EQ(access.LastError(), "Could not create directory '" + root + "//tarvik': File exists");
    EXPECT_FALSE(access.CreateDirectory("/a/b"));  // parents are not made
    EXPECT_EQ(access.LastError(),
              "Could not create directory '" + root + "//a/b': No such file or directory");
    EXPECT_FALSE(fs::exists(root + "/a"));
}

TEST_F(LocalSiteAccessTest, WriteReplacesAtomicallyAndKeepsPermissions) {
    CLocalSiteAccess access(root);
    CTextBuffer text;
    text.Assign("<html>new</html>");

    // A new file takes the usual mode; a replaced one keeps its own.
    const mode_t mask = umask(022);
    ASSERT_TRUE(access.WriteFile("/new.html", text));
    umask(mask);
    EXPECT_EQ(ReadWholeFile(root + "/new.html"), "<html>new</html>");
    EXPECT_EQ(ModeOf(root + "/new.html"), 0644u);
    ASSERT_EQ(chmod((root + "/index.html").c_str(), 0640), 0);
    struct stat before;
    ASSERT_EQ(stat((root + "/index.html").c_str(), &before), 0);
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    struct stat after;
    ASSERT_EQ(stat((root + "/index.html").c_str(), &after), 0);
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>new</html>");
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old one
    EXPECT_TRUE(TempFilesIn(root).empty());

    // The same contents again: nothing is replaced (same inode), and one sync covers the lot.
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    struct stat unchanged;
    ASSERT_EQ(stat((root + "/index.html").c_str(), &unchanged), 0);
    EXPECT_EQ(unchanged.st_ino, after.st_ino);
    CTextBuffer sameSize;
    sameSize.Assign("<html>NEW</html>");  // same size, other bytes: replaced
    ASSERT_TRUE(access.WriteFile("/index.html", sameSize));
    struct stat replaced;
    ASSERT_EQ(stat((root + "/index.html").c_str(), &replaced), 0);
    EXPECT_NE(replaced.st_ino, after.st_ino);
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>NEW</html>");
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    EXPECT_TRUE(access.Sync());

    // An empty buffer empties the file.
    CTextBuffer empty;
    ASSERT_TRUE(access.WriteFile("/sub/page.html", empty));
    EXPECT_EQ(fs::file_size(root + "/sub/page.html"), 0u);

    // Read-only files, directories and missing directories are refused; nothing changes.
    ASSERT_EQ(chmod((root + "/index.html").c_str(), 0444), 0);
    CTextBuffer other;
    other.Assign("other");
    EXPECT_FALSE(access.WriteFile("/index.html", other));
    EXPECT_EQ(access.LastError(), "'" + root + "//index.html' is read-only");
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>new</html>");
    EXPECT_FALSE(access.WriteFile("/sub", other));
    EXPECT_EQ(access.LastError(), "'" + root + "//sub' is not a regular file");
    EXPECT_FALSE(access.WriteFile("/nodir/x.html", other));
    EXPECT_EQ(access.LastError(),
              "Could not write '" + root + "//nodir/x.html': No such file or directory");
    EXPECT_TRUE(TempFilesIn(root).empty());
}

// A write that fails half-way (here: the file-size limit, which binds root too) leaves the old
// file whole and no temporary file behind.
TEST_F(LocalSiteAccessTest, FailedWriteLeavesTheOldFileWhole) {
    CLocalSiteAccess access(root);
    CTextBuffer large;
    large.Assign(std::string(300000, 'x'));
    const bool written =
        WithFileSizeLimit(100000, [&] { return access.WriteFile("/index.html", large); });
    const std::string error = access.LastError();

    EXPECT_FALSE(written);
    EXPECT_EQ(error, "Could not write '" + root + "//index.html': File too large");
    EXPECT_EQ(ReadWholeFile(root + "/index.html"), "<html>home</html>");
    EXPECT_TRUE(TempFilesIn(root).empty());
}

// A page that is a symbolic link stays a link; the file it points to gets the new contents.
TEST_F(LocalSiteAccessTest, WriteThroughASymbolicLink) {
    ASSERT_TRUE(dir.WriteFile("site/shared/real.html", "old"));
    ASSERT_EQ(symlink("shared/real.html", (root + "/linked.html").c_str()), 0);
    CLocalSiteAccess access(root);
    CTextBuffer text;
    text.Assign("new");
    ASSERT_TRUE(access.WriteFile("/linked.html", text));
    EXPECT_TRUE(fs::is_symlink(root + "/linked.html"));
    EXPECT_EQ(ReadWholeFile(root + "/shared/real.html"), "new");
    EXPECT_TRUE(TempFilesIn(root).empty());
    EXPECT_TRUE(TempFilesIn(root + "/shared").empty());
}

// Root may hand a file to its old owner again; a page owned by the web server's user stays so.
TEST_F(LocalSiteAccessTest, WriteKeepsTheOwnerWhereAllowed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner";
    }
    ASSERT_EQ(chown((root + "/index.html").c_str(), 65534, 65534), 0);
    CLocalSiteAccess access(root);
    CTextBuffer text;
    text.Assign("new");
    ASSERT_TRUE(access.WriteFile("/index.html", text));
    struct stat st;
    ASSERT_EQ(stat((root + "/index.html").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
}

// Only regular files are read or sized: a pipe would block the run forever.
TEST_F(LocalSiteAccessTest, PipesAreNotRead) {
    ASSERT_EQ(mkfifo((root + "/pipe.html").c_str(), 0644), 0);
    CLocalSiteAccess access(root);
    CTextBuffer buffer;
    EXPECT_FALSE(access.ReadFile("/pipe.html", buffer));
    EXPECT_EQ(access.LastError(), "'" + root + "//pipe.html' is not a regular file");
    EXPECT_EQ(access.GetFileSize("/pipe.html"), -1);
    EXPECT_FALSE(access.WriteFile("/pipe.html", buffer));
    EXPECT_EQ(access.LastError(), "'" + root + "//pipe.html' is not a regular file");
    EXPECT_TRUE(access.Exists("/pipe.html"));
}

// An empty root is no site: it never stands for the file-system root.
TEST_F(LocalSiteAccessTest, EmptyRootRefusesEverything) {
    CLocalSiteAccess access("");
    CTextBuffer buffer;
    const std::string message = "No root directory is set for the site";
    EXPECT_EQ(access.GetRoot(), "");
    EXPECT_EQ(access.LocalPath("/etc/passwd"), "");
    EXPECT_FALSE(access.ReadFile("/etc/passwd", buffer));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_EQ(access.GetFileSize("/etc/passwd"), -1);
    EXPECT_EQ(access.LastError(), message);
    EXPECT_FALSE(access.Exists("/etc"));
    EXPECT_FALSE(access.IsDirectory("/etc"));
    EXPECT_FALSE(access.IsReadOnly("/etc/passwd"));
    EXPECT_FALSE(access.WriteFile("/tmp/x", buffer));
    EXPECT_FALSE(access.CreateDirectory("/tmp/tarvik-should-not-exist"));
    EXPECT_EQ(access.LastError(), message);
    EXPECT_EQ(buffer.Length(), 0);
}

// Names from pages and logs that climb out of the root reach nothing outside it.
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
    EXPECT_FALSE(fs::exists(dir / "outside/none.html"));
    EXPECT_FALSE(access.CreateDirectory("/../outside/made"));
    EXPECT_FALSE(fs::exists(dir / "outside/made"));
    EXPECT_EQ(ReadWholeFile(dir / "outside/notes.html"), "private notes");
}

TEST(AtomicFile, ReplacesOnlyOnCommit) {
    CTempDir dir("atomic");
    const std::string path = dir / "settings.txt";
    ASSERT_TRUE(dir.WriteFile("settings.txt", "old"));
    {
        CAtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("new contents"));
        EXPECT_EQ(ReadWholeFile(path), "old");  // not yet
        EXPECT_EQ(TempFilesIn(dir.Path()).size(), 1u);
        // Destroyed without Commit: discarded.
    }
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());

    CAtomicFile file(path);
    ASSERT_TRUE(file.Open());
    std::string large(200000, 'y');
    ASSERT_TRUE(file.Write(large.data(), large.size()));
    ASSERT_TRUE(file.Write("!"));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), large + "!");

    // New files get the mode asked for, exactly if so asked.
    ASSERT_TRUE(CAtomicFile::Replace(dir / "exact.txt", "x", 0600, true));
    EXPECT_EQ(ModeOf(dir / "exact.txt"), 0600u);

    CAtomicFile onDir(dir.Path());
    EXPECT_FALSE(onDir.Open());
    EXPECT_EQ(onDir.ErrorNumber(), EISDIR);
    CAtomicFile noDir(dir / "missing/x.txt");
    EXPECT_FALSE(noDir.Open());
    EXPECT_EQ(noDir.ErrorNumber(), ENOENT);
    EXPECT_FALSE(noDir.Commit());
}

}  // namespace
