// A progress sink that passes every call on to another one and measures the wall time spent in
// each phase (between one title and the next). Called from the run's worker thread; read the
// figures after the run has ended.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "base/ProgressSink.h"

class CTimingSink : public CProgressSink {
  public:
    // Borrows the sink that shows the progress (may be null).
    explicit CTimingSink(CProgressSink* inner) : m_inner(inner) {}

    void ShowMessage(const std::string& text) override { SinkShowMessage(m_inner, text); }
    void SetProgress(int percent) override { SinkSetProgress(m_inner, percent); }
    void SetTitle(const std::string& text) override;
    void SetStatus(const std::string& text) override { SinkSetStatus(m_inner, text); }
    void Close() override;
    bool IsStopped() override { return SinkIsStopped(m_inner); }
    void EnableStop(bool enable) override { SinkEnableStop(m_inner, enable); }

    // Each phase title with its seconds, in the order the phases first ran (a phase that ran
    // twice, such as the pass over the site's files, adds up).
    const std::vector<std::pair<std::string, double>>& Phases() const { return m_phases; }

  private:
    void EndPhase();

    CProgressSink* m_inner;
    std::vector<std::pair<std::string, double>> m_phases;
    std::string m_current;
    std::chrono::steady_clock::time_point m_started;
};

// Prints each phase of timing with its seconds, the total and the peak memory to stderr.
void PrintPhaseTimings(const CTimingSink& timing, double total);
