#include "hive/RegistryKey.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "agent/AgentSettings.h"
#include "agent/AgentTestUtil.h"
#include "hive/HiveFile.h"
#include "support/Scoped.h"

namespace {

using namespace agenttest;

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

unsigned ModeOf(const fs::path& p) {
    return static_cast<unsigned>(fs::status(p).permissions());
}

class RegistryKeyTest : public ScratchTest {};

TEST_F(RegistryKeyTest, OpenCreatesEveryComponentInPrivateFiles) {
    CRegistryKey key;
    EXPECT_FALSE(key.IsOpen());
    ASSERT_TRUE(key.Open(UserHive(), "Software/Quorvane/Tarvik/1.0B"));
    EXPECT_EQ(ReadWholeFile(regFile), kHeader +
                                          "[HKEY_CURRENT_USER]\n\n"
                                          "[HKEY_CURRENT_USER\\Software]\n\n"
                                          "[HKEY_CURRENT_USER\\Software\\Quorvane]\n\n"
                                          "[HKEY_CURRENT_USER\\Software\\Quorvane\\Tarvik]\n\n"
                                          "[" +
                                          kProduct + "]\n\n");
    EXPECT_EQ(ModeOf(regFile), 0600u);
    EXPECT_EQ(ModeOf(regFile.parent_path()), 0700u);
    // Opening an existing key writes nothing.
    const int writes = UserHive().WriteCount();
    ASSERT_TRUE(key.Open(UserHive(), "software/QUORVANE/tarvik/1.0b"));
    EXPECT_EQ(UserHive().WriteCount(), writes);

    // Invalid paths open nothing and leave no key open.
    EXPECT_FALSE(key.Open(UserHive(), "Software//Quorvane"));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.Open(UserHive(), "Software/a\\b"));
    std::string text;
    EXPECT_FALSE(key.SetString("x", "y"));
    EXPECT_FALSE(key.GetString("x", text));
    StringList names;
    EXPECT_FALSE(key.EnumSubKeys(names));
    EXPECT_FALSE(key.DeleteSubKey("x"));

    // A file that was readable by others becomes private at its next write.
    fs::permissions(regFile, fs::perms(0644));
    ASSERT_TRUE(key.Open(UserHive(), "Software"));
    ASSERT_TRUE(key.SetString("a", "b"));
    EXPECT_EQ(ModeOf(regFile), 0600u);
}

// The typed reads and writes of every value kind are the settings store's tests (every agent
// field saved, loaded and read from hand-written text); here what no agent field reaches.
TEST_F(RegistryKeyTest, OutOfRangeEnumerationsAndBadNames) {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(UserHive(), "Software/T"));
    EXPECT_TRUE(key.SetEnum("Outside", 9, kSiteFileTypeTexts));
    EXPECT_FALSE(key.SetString("bad\nname", "x"));
    std::string text;
    EXPECT_TRUE(key.GetString("Outside", text));
    EXPECT_EQ(text, "Local");
    for (const char* name : {"zeta", "beta", "Alpha"}) {
        CRegistryKey sub;
        ASSERT_TRUE(sub.Open(UserHive(), std::string("Software/T/") + name));
    }
    EXPECT_TRUE(key.DeleteSubKey("BETA"));
    EXPECT_FALSE(key.DeleteSubKey("beta"));
    StringList names;
    ASSERT_TRUE(key.EnumSubKeys(names));
    EXPECT_EQ(names, (StringList{"Alpha", "zeta"}));
}

TEST(EncodedText, StableAndReversible) {
    // Passwords saved by earlier runs must keep decoding: the encoded form never changes. Equal
    // letters do not show as equal pairs.
    EXPECT_EQ(EncodeText("aaaa"), "3B75A85A");
    const std::string texts[] = {"", "aaaaaaaaaaaaaaaaaaaaaaaa", std::string("\0\x01\xff", 3)};
    for (const std::string& t : texts) {
        std::string back;
        ASSERT_TRUE(DecodeText(EncodeText(t), back));
        EXPECT_EQ(back, t);
    }
    std::string out = "kept";
    EXPECT_FALSE(DecodeText("abc", out));
    EXPECT_FALSE(DecodeText("zz", out));
    EXPECT_EQ(out, "kept");
}

TEST_F(RegistryKeyTest, BatchesWriteOnce) {
    CHiveFile& hive = UserHive();
    CRegistryKey key;
    ASSERT_TRUE(key.Open(hive, "Software/A"));
    int writes = hive.WriteCount();
    {
        CHiveBatch batch(hive);
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(key.SetNumber("v" + std::to_string(i), static_cast<uint32_t>(i)));
        }
        CHiveBatch inner(hive);
        EXPECT_TRUE(key.SetString("inner", "x"));
        EXPECT_TRUE(inner.End());
        EXPECT_EQ(hive.WriteCount(), writes);
        // Reads inside the batch see its changes.
        uint32_t n = 0;
        EXPECT_TRUE(key.GetNumber("v19", n));
        EXPECT_EQ(n, 19u);
        EXPECT_TRUE(batch.End());
    }
    EXPECT_EQ(hive.WriteCount(), writes + 1);
}

// Every write rereads the file: each process keeps what the other wrote meanwhile.
TEST_F(RegistryKeyTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kWrites = 40;
    CRegistryKey key;
    ASSERT_TRUE(key.Open(UserHive(), "Software/Race"));
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            CHiveFile hive(regFile.string());
            CRegistryKey k;
            bool ok = k.Open(hive, "Software/Race");
            for (int i = 0; i < kWrites && ok; ++i) {
                ok = k.SetNumber("p" + std::to_string(c) + "_" + std::to_string(i),
                                 static_cast<uint32_t>(i));
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CHiveFile fresh(regFile.string());
    ASSERT_TRUE(key.Open(fresh, "Software/Race"));
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kWrites; ++i) {
            uint32_t n = 999;
            EXPECT_TRUE(key.GetNumber("p" + std::to_string(c) + "_" + std::to_string(i), n));
            EXPECT_EQ(n, static_cast<uint32_t>(i));
        }
    }
}

TEST_F(RegistryKeyTest, AWriteThatFailsBeforeTheRenameLeavesTheOldFile) {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(UserHive(), "Software/Q"));
    ASSERT_TRUE(key.SetString("Keep", "old"));
    const std::string before = ReadWholeFile(regFile);

    // A full disk: the file-size limit makes the write of the new file fail.
    const bool written = WithFileSizeLimit(
        before.size() + 16, [&] { return key.SetString("Big", std::string(4096, 'b')); });

    EXPECT_FALSE(written);
    EXPECT_EQ(UserHive().LastError(), "Could not write settings file " + regFile.string() + " (" +
                                          std::strerror(EFBIG) + ")");
    EXPECT_EQ(ReadWholeFile(regFile), before);
    // The snapshot shows the file as it is, and no temporary file stays behind.
    std::string text;
    EXPECT_FALSE(key.GetString("Big", text));
    EXPECT_TRUE(key.GetString("Keep", text));
    for (const auto& entry : fs::directory_iterator(regFile.parent_path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "tarvik.reg" || name == "tarvik.reg.lock") << name;
    }
    EXPECT_TRUE(key.SetString("Big", "fits now"));
}

TEST_F(RegistryKeyTest, ADamagedFileIsKeptBesideItsRewrite) {
    const std::string body = "[" + kProduct + "]\n\"Good\"=\"1\"\n\x01\x02garbage\n";
    const std::string damaged = kHeader + body;
    WriteHive(body);
    CRegistryKey key;
    ASSERT_TRUE(key.Open(UserHive(), "Software/Quorvane/Tarvik/1.0B"));
    std::string text;
    EXPECT_TRUE(key.GetString("Good", text));
    ASSERT_TRUE(key.SetString("New", "2"));
    EXPECT_EQ(ReadWholeFile(regFile.string() + ".damaged"), damaged);
    const std::string now = ReadWholeFile(regFile);
    EXPECT_EQ(now.find("garbage"), std::string::npos);
    EXPECT_NE(now.find("\"Good\"=\"1\""), std::string::npos);
    EXPECT_NE(now.find("\"New\"=\"2\""), std::string::npos);
}

TEST(HiveLocation, EnvironmentAndDefaults) {
    const char* saved[] = {getenv("TARVIK_REGISTRY"), getenv("XDG_CONFIG_HOME"), getenv("HOME")};
    std::string keep[3];
    for (int i = 0; i < 3; ++i)
        keep[i] = saved[i] ? saved[i] : "";
    unsetenv("TARVIK_REGISTRY");
    setenv("HOME", "/home/someone", 1);
    setenv("XDG_CONFIG_HOME", "/xdg/", 1);
    EXPECT_EQ(DefaultHivePath(), "/xdg/quorvane/tarvik.reg");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(DefaultHivePath(), "/home/someone/.config/quorvane/tarvik.reg");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultHivePath(), "/home/someone/.config/quorvane/tarvik.reg");
    setenv("TARVIK_REGISTRY", "/elsewhere/t.reg", 1);
    EXPECT_EQ(DefaultHivePath(), "/elsewhere/t.reg");
    const char* names[] = {"TARVIK_REGISTRY", "XDG_CONFIG_HOME", "HOME"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i]) {
            setenv(names[i], keep[i].c_str(), 1);
        } else {
            unsetenv(names[i]);
        }
    }
}

}  // namespace
