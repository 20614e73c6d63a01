// Seeding the working directory from the runtime folder: what is missing is copied, nothing is
// overwritten, and a failure names the file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <iterator>

#include "agent/RuntimeFiles.h"
#include "base/LastMessage.h"
#include "support/TempDir.h"

namespace {

TEST(RuntimeFilesTest, CopiesWhatIsMissingAndKeepsWhatIsThere) {
    CTempDir dir("seed");
    ASSERT_TRUE(dir.WriteFile("runtime/a.class", "built a"));
    ASSERT_TRUE(dir.WriteFile("runtime/qvan.jar", "built jar"));
    ASSERT_TRUE(dir.WriteFile("work/a.class", "my own a"));
    setenv("TARVIK_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    EXPECT_EQ(FindRuntimeDir(), dir / "runtime");
    unsetenv("TARVIK_RUNTIME_DIR");

    int copied = -1;
    EXPECT_EQ(SeedWorkDir(dir / "work", dir / "runtime", &copied), SeedResult::Seeded);
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(ReadWholeFile(dir / "work/a.class"), "my own a");
    EXPECT_EQ(ReadWholeFile(dir / "work/qvan.jar"), "built jar");
    // Nothing but the two files: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "work"), {}), 2);
    EXPECT_EQ(SeedWorkDir(dir / "work", dir / "runtime", &copied), SeedResult::Seeded);
    EXPECT_EQ(copied, 0);

    EXPECT_EQ(SeedWorkDir(dir / "work", dir / "none", &copied), SeedResult::NoRuntimeDir);
    EXPECT_EQ(SeedWorkDir(dir / "missing", dir / "runtime", &copied), SeedResult::Failed);
    EXPECT_EQ(GetLastMessage(), "Could not copy runtime file a.class into the working directory " +
                                    (dir / "missing") + " (Not a directory)");
}

}  // namespace
