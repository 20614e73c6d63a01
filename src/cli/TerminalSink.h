// The progress display of the tarvik command: phase title and status on stderr, one line that
// updates in place when stderr is a terminal, plain throttled lines otherwise. Messages the run
// shows (failures, estimates) go to stderr at once, without waiting for an answer. Ctrl-C sets
// the stop flag; a second Ctrl-C ends the process with status 130 at the run's next report
// (between two whole files), after the exit hook saved what can be saved; a third ends it at
// once. Texts from sites, logs and settings are shown with their control bytes escaped.
// The run calls the sink from its worker thread; IsStopped may be polled from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "base/ProgressSink.h"

class CTerminalSink : public CProgressSink {
  public:
    // out: where the display goes (borrowed; stderr unless a test passes its own stream).
    // interactive: update one line in place (true when out is a terminal).
    explicit CTerminalSink(std::FILE* out = stderr);
    CTerminalSink(std::FILE* out, bool interactive);
    ~CTerminalSink() override;

    void ShowMessage(const std::string& text) override;
    void SetProgress(int percent) override;
    void SetTitle(const std::string& text) override;
    void SetStatus(const std::string& text) override;
    void Close() override;
    bool IsStopped() override { return m_stopped.load(std::memory_order_relaxed); }
    void EnableStop(bool enable) override { m_stopEnabled.store(enable); }

    // Sets the stop flag, as Ctrl-C does (ignored while Stop is disabled).
    void RequestStop();
    // Ends the status line so that later output starts on a line of its own.
    void Finish();
    // The last text ShowMessage printed ("" when none), so that a caller does not print a
    // failure twice.
    std::string LastShown();

    // Routes SIGINT to the given sink (nullptr restores the default handling): the first Ctrl-C
    // requests a stop, the second ends the process with status 130. Returns whether a stop was
    // requested since the last call with a sink.
    static void InstallInterruptHandler(CTerminalSink* sink);
    static bool WasInterrupted();

    // Called once, from the thread that reports, when a second Ctrl-C ends the process; its
    // argument tells whether Stop is disabled (the run's page graph is complete then). The
    // process ends with status 130 when it returns.
    void SetExitHook(std::function<void(bool)> hook) { m_exitHook = std::move(hook); }

  private:
    void Redraw(bool force);
    // Ends the process after a second Ctrl-C (through the exit hook). Called at each report.
    void ExitIfAsked();

    std::FILE* m_out;
    bool m_interactive;
    std::mutex m_mutex;
    std::string m_title;
    std::string m_status;
    std::string m_lastShown;
    int m_percent = -1;
    bool m_lineOpen = false;
    std::chrono::steady_clock::time_point m_lastDraw;
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_stopEnabled{true};
    std::function<void(bool)> m_exitHook;
};
