#include "cli/TimingSink.h"

#include <sys/resource.h>

#include <cstdio>

#include "res/StringTable.h"

void CTimingSink::EndPhase() {
    if (m_current.empty()) {
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    for (auto& phase : m_phases) {
        if (phase.first == m_current) {
            phase.second += seconds;
            return;
        }
    }
    m_phases.emplace_back(m_current, seconds);
}

void CTimingSink::SetTitle(const std::string& text) {
    if (text != m_current) {
        EndPhase();
        m_current = text;
        m_started = std::chrono::steady_clock::now();
    }
    SinkSetTitle(m_inner, text);
}

void CTimingSink::Close() {
    EndPhase();
    m_current.clear();
    SinkClose(m_inner);
}

namespace {

double PeakMemoryMegabytes() {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return 0.0;
    }
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kilobytes
}

}  // namespace

void PrintPhaseTimings(const CTimingSink& timing, double total) {
    std::fprintf(stderr, "%s\n", ResString(IDS_CLI_TIMINGS_HEADING));
    for (const auto& [title, seconds] : timing.Phases()) {
        std::fprintf(stderr, "%s\n",
                     FormatString(IDS_CLI_TIMING_LINE, title.c_str(), seconds).c_str());
    }
    std::fprintf(stderr, "%s\n",
                 FormatString(IDS_CLI_TIMING_LINE, ResString(IDS_CLI_TIMING_TOTAL), total).c_str());
    std::fprintf(stderr, "%s\n", FormatString(IDS_CLI_PEAK_MEMORY, PeakMemoryMegabytes()).c_str());
}
