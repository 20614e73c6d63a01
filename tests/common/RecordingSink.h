// A progress sink for tests: records every call the way a display would see it, and answers
// IsStopped from a flag or after a number of polls. Thread-safe enough for one worker thread
// writing while the test thread waits for it to end.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/ProgressSink.h"

class RecordingSink : public CProgressSink {
  public:
    void ShowMessage(const std::string& t) override { Add("message:" + t, &messages, t); }
    void SetProgress(int p) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        calls.push_back("progress:" + std::to_string(p));
        progress.push_back(p);
    }
    void SetTitle(const std::string& t) override { Add("title:" + t, &titles, t); }
    void SetStatus(const std::string& t) override { Add("status:" + t, &statuses, t); }
    void Close() override { Add("close", nullptr, ""); }
    bool IsStopped() override {
        if (stopped.load())
            return true;
        int after = stopAfter.load();
        return after >= 0 && polls.fetch_add(1) + 1 > after;
    }
    void EnableStop(bool e) override { Add(e ? "stop:on" : "stop:off", nullptr, ""); }

    std::vector<std::string> calls;     // every call, in order
    std::vector<std::string> messages;  // ShowMessage texts
    std::vector<std::string> titles;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::atomic<bool> stopped{false};
    std::atomic<int> stopAfter{-1};  // stopped after this many polls; -1 never
    std::atomic<int> polls{0};

  private:
    void Add(const std::string& call, std::vector<std::string>* list, const std::string& text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        calls.push_back(call);
        if (list)
            list->push_back(text);
    }
    std::mutex m_mutex;
};
