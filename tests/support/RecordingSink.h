// A progress sink for tests: records every call the way a display would see it, and answers
// IsStopped by its stop rules (a flag, a number of polls, a status count, a title). Thread-safe
// enough for one worker thread writing while the test thread waits for it to end.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/ProgressSink.h"

class RecordingSink : public CProgressSink {
  public:
    RecordingSink() = default;
    // Stops once title was shown and pollsAllowed further polls passed (Stop pressed as that
    // phase began).
    explicit RecordingSink(std::string title, int pollsAllowed = 0)
        : m_stopTitle(std::move(title)), m_pollsAllowed(pollsAllowed) {}

    void ShowMessage(const std::string& t) override { Add("message:" + t, &messages, t); }
    void SetProgress(int p) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        calls.push_back("progress:" + std::to_string(p));
        progress.push_back(p);
    }
    void SetTitle(const std::string& t) override {
        Add("title:" + t, &titles, t);
        if (!m_stopTitle.empty() && t == m_stopTitle && stopAfter.load() < 0)
            stopAfter = polls.load() + m_pollsAllowed;
    }
    void SetStatus(const std::string& t) override {
        Add("status:" + t, &statuses, t);
        if (stopAtStatus > 0 && static_cast<int>(statuses.size()) >= stopAtStatus)
            stopped = true;
    }
    void Close() override { Add("close", nullptr, ""); }
    bool IsStopped() override {
        long n = polls.fetch_add(1) + 1;
        long after = stopAfter.load();
        return stopped.load() || (after >= 0 && n > after);
    }
    void EnableStop(bool e) override { Add(e ? "stop:on" : "stop:off", nullptr, ""); }

    std::vector<std::string> calls;     // every call, in order
    std::vector<std::string> messages;  // ShowMessage texts
    std::vector<std::string> titles;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::atomic<bool> stopped{false};
    std::atomic<long> stopAfter{-1};  // stopped after this many polls; -1 never
    std::atomic<long> polls{0};       // IsStopped calls so far
    int stopAtStatus = 0;             // stopped from this SetStatus call on; 0 never

  private:
    void Add(const std::string& call, std::vector<std::string>* list, const std::string& text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        calls.push_back(call);
        if (list)
            list->push_back(text);
    }
    std::mutex m_mutex;
    std::string m_stopTitle;
    int m_pollsAllowed = 0;
};
