#include "cli/TerminalSink.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>

#include "res/StringTable.h"

namespace {

std::atomic<CTerminalSink*> g_interruptSink{nullptr};
std::atomic<int> g_interrupts{0};

void OnInterrupt(int) {
    int count = g_interrupts.fetch_add(1) + 1;
    if (count >= 3 || (count == 2 && g_interruptSink.load() == nullptr)) {
        _exit(130);
    }
    if (CTerminalSink* sink = g_interruptSink.load()) {
        sink->RequestStop();
    }
}

constexpr auto kInteractiveInterval = std::chrono::milliseconds(100);
constexpr auto kPlainInterval = std::chrono::seconds(1);

}  // namespace

CTerminalSink::CTerminalSink(std::FILE* out) : CTerminalSink(out, isatty(fileno(out)) != 0) {}

CTerminalSink::CTerminalSink(std::FILE* out, bool interactive)
    : m_out(out), m_interactive(interactive) {}

CTerminalSink::~CTerminalSink() {
    Finish();
}

void CTerminalSink::InstallInterruptHandler(CTerminalSink* sink) {
    g_interrupts.store(0);
    g_interruptSink.store(sink);
    struct sigaction action = {};
    action.sa_handler = sink ? OnInterrupt : SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool CTerminalSink::WasInterrupted() {
    return g_interrupts.load() > 0;
}

void CTerminalSink::RequestStop() {
    // Only an async-signal-safe store here: the handler calls this.
    if (m_stopEnabled.load()) {
        m_stopped.store(true);
    }
}

void CTerminalSink::ExitIfAsked() {
    if (g_interrupts.load() < 2 || g_interruptSink.load() != this) {
        return;
    }
    std::function<void(bool)> hook = std::move(m_exitHook);
    m_exitHook = nullptr;
    Finish();
    if (hook) {
        hook(!m_stopEnabled.load());
    }
    std::fflush(nullptr);
    _exit(130);
}

void CTerminalSink::ShowMessage(const std::string& text) {
    ExitIfAsked();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lineOpen) {
        std::fputs(m_interactive ? "\r\033[K" : "\n", m_out);
        m_lineOpen = false;
    }
    std::fprintf(m_out, "%s\n", ShownText(text).c_str());
    std::fflush(m_out);
    m_lastShown = text;
    Redraw(true);
}

std::string CTerminalSink::LastShown() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastShown;
}

void CTerminalSink::SetProgress(int percent) {
    ExitIfAsked();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_percent = std::clamp(percent, 0, 99);
    Redraw(false);
}

void CTerminalSink::SetTitle(const std::string& text) {
    ExitIfAsked();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ShownText(text) == m_title) {
        return;
    }
    m_title = ShownText(text);
    m_status.clear();
    m_percent = -1;
    Redraw(true);
}

void CTerminalSink::SetStatus(const std::string& text) {
    ExitIfAsked();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = ShownText(text);
    Redraw(false);
}

void CTerminalSink::Close() {
    Finish();
}

void CTerminalSink::Finish() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lineOpen) {
        std::fputs("\n", m_out);
        std::fflush(m_out);
        m_lineOpen = false;
    }
}

void CTerminalSink::Redraw(bool force) {
    auto now = std::chrono::steady_clock::now();
    auto interval = m_interactive ? std::chrono::steady_clock::duration(kInteractiveInterval)
                                  : std::chrono::steady_clock::duration(kPlainInterval);
    if (!force && now - m_lastDraw < interval) {
        return;
    }
    if (m_title.empty() && m_status.empty()) {
        return;
    }
    m_lastDraw = now;
    std::string line;
    if (m_percent >= 0) {
        char pct[16];
        std::snprintf(pct, sizeof pct, "[%2d%%] ", m_percent);
        line += pct;
    }
    line += m_title;
    if (!m_status.empty() && m_status != m_title) {
        line += ": ";
        line += m_status;
    }
    if (m_interactive) {
        std::fprintf(m_out, "\r\033[K%s", line.c_str());
        m_lineOpen = true;
    } else {
        std::fprintf(m_out, "%s\n", line.c_str());
    }
    std::fflush(m_out);
}
