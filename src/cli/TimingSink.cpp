#include "cli/TimingSink.h"

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
