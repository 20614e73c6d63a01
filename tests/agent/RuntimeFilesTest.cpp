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

    // The operator's own copy stays; copying leaves no temporary file behind.
    EXPECT_EQ(SeedWorkDir(dir / "work", dir / "runtime"), SeedResult::Seeded);
    EXPECT_EQ(ReadWholeFile(dir / "work/a.class"), "my own a");
    EXPECT_EQ(ReadWholeFile(dir / "work/qvan.jar"), "built jar");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "work"), {}), 2);

    EXPECT_EQ(SeedWorkDir(dir / "work", dir / "none"), SeedResult::NoRuntimeDir);
    EXPECT_EQ(SeedWorkDir(dir / "missing", dir / "runtime"), SeedResult::Failed);
    EXPECT_EQ(GetLastMessage(), "Could not copy runtime file a.class into the working directory " +
                                    (dir / "missing") + " (Not a directory)");
}

}  // namespace
