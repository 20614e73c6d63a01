#include "base/LastMessage.h"

#include <cstdarg>
#include <mutex>

#include "base/ProgressSink.h"
#include "res/StringTable.h"

namespace {

std::mutex g_mutex;
std::string g_lastMessage;

}  // namespace

void SetLastMessageText(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lastMessage.assign(text, 0, kLastMessageMax);
}

void SetLastMessage(int id, ...) {
    va_list args;
    va_start(args, id);
    std::string text = FormatStringV(id, args);
    va_end(args);
    SetLastMessageText(text);
}

std::string GetLastMessage() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lastMessage;
}

void ReportError(CProgressSink* sink, const std::string& text) {
    if (sink != nullptr && !sink->IsStopped()) {
        sink->ShowMessage(text);
    }
}
