// Helpers of the log tests: a temporary directory, a sink that records what the analysis shows,
// a clock the test moves, and log lines of the common format.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/ProgressSink.h"
#include "log/LogClock.h"

namespace logtest {

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/tarvik-log-test-XXXXXX";
        char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path = made ? made : "";
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Write(const std::string& name, const std::string& data) const {
        std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary) << data;
        return file;
    }
    std::string Append(const std::string& name, const std::string& data) const {
        std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary | std::ios::app) << data;
        return file;
    }
    std::string Path(const std::string& name) const { return path + "/" + name; }

    std::string path;
};

// Records every call, as a display would see them; stops when asked to.
class RecordingSink : public CProgressSink {
  public:
    void ShowMessage(const std::string& t) override { messages.push_back(t); }
    void SetProgress(int p) override { progress.push_back(p); }
    void SetTitle(const std::string& t) override { titles.push_back(t); }
    void SetStatus(const std::string& t) override { statuses.push_back(t); }
    void Close() override {}
    bool IsStopped() override {
        ++stopPolls;
        return stopAfterPolls >= 0 && stopPolls > stopAfterPolls;
    }
    void EnableStop(bool) override {}

    std::vector<std::string> messages;
    std::vector<int> progress;
    std::vector<std::string> titles;
    std::vector<std::string> statuses;
    long stopPolls = 0;
    long stopAfterPolls = -1;  // -1: never stops
};

// A wall clock that moves only when the test says, or by a step at every reading.
class StepClock : public CLogClock {
  public:
    explicit StepClock(time_t start, time_t step = 0) : now(start), step(step) {}
    time_t Now() override {
        time_t t = now;
        now += step;
        return t;
    }
    time_t now;
    time_t step;
};

// Sets TZ for a test's life: local-time rules are checked in a zone with daylight saving.
class ZoneTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
};

// One combined-format line at the given local time.
inline std::string Line(time_t t, const std::string& client, const std::string& method,
                        const std::string& url, const std::string& referer = "-") {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm f;
    localtime_r(&t, &f);
    char date[64];
    std::snprintf(date, sizeof date, "%02d/%s/%04d:%02d:%02d:%02d +0000", f.tm_mday,
                  kMonths[f.tm_mon], f.tm_year + 1900, f.tm_hour, f.tm_min, f.tm_sec);
    return client + " - - [" + date + "] \"" + method + " " + url + " HTTP/1.1\" 200 100 \"" +
           referer + "\" \"test\"\n";
}

}  // namespace logtest
