// Shared pieces of the agent tests: a scratch directory per test with its own settings file, file
// helpers, and a prompt that records what it was shown and answers from a script.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "agent/UserPrompt.h"
#include "hive/HiveFile.h"
#include "support/TempDir.h"

namespace agenttest {

namespace fs = std::filesystem;

inline void WriteAll(const fs::path& p, const std::string& data) {
    ASSERT_TRUE(CTempDir::WriteFileAt("/", p.relative_path(), data)) << p;
}

// The product key path of a settings file, for hand-written files.
inline const std::string kProduct = "HKEY_CURRENT_USER\\Software\\Quorvane\\Tarvik\\1.0B";

class ScratchTest : public testing::Test {
  protected:
    void SetUp() override {
        regFile = dir / "config" / "tarvik.reg";
        workDir = dir / "work";
        fs::create_directories(workDir);
        SetUserHivePath(regFile.string());
        // The per-user data folder (the default working directory) lies below dir as well.
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        SetUserHivePath((dir / "unused.reg").string());
    }
    // Replaces the settings file by the text (header added) and makes the hive read it again.
    void WriteHive(const std::string& body) {
        WriteAll(regFile, "Windows Registry Editor Version 5.00\n\n" + body);
        SetUserHivePath(regFile.string());
    }

    CTempDir scratch{"agent"};
    fs::path dir = scratch.Path();
    fs::path regFile;
    fs::path workDir;
};

// Records every message and question; answers every question with answer.
class RecordingPrompt : public CUserPrompt {
  public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back(text);
        captions.push_back(caption);
        return answer;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> captions;
    bool answer = true;
};

}  // namespace agenttest
