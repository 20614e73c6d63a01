// What a running task may ask of the display that shows its progress (a progress dialog, or the
// command line's status line). Called from the task's worker thread; implementations forward the
// calls to their own thread as they need, and IsStopped must be safe to poll from any thread.
#pragma once

#include <string>

class CProgressSink {
  public:
    virtual ~CProgressSink() = default;

    // Shows a message and returns when the user has closed it.
    virtual void ShowMessage(const std::string& text) = 0;
    // Moves the progress bar (a percentage; the display limits it).
    virtual void SetProgress(int percent) = 0;
    // Sets the caption: the current phase.
    virtual void SetTitle(const std::string& text) = 0;
    // Sets the status line: the current item.
    virtual void SetStatus(const std::string& text) = 0;
    // Asks the display to close; does not wait.
    virtual void Close() = 0;
    // True once the user has asked the task to stop.
    virtual bool IsStopped() = 0;
    // Enables or disables the Stop control.
    virtual void EnableStop(bool enable) = 0;
};

// Null-safe forms for phases that may run without any display: every call is skipped when no
// sink is attached, and a task without a sink never stops early.
inline void SinkShowMessage(CProgressSink* sink, const std::string& text) {
    if (sink)
        sink->ShowMessage(text);
}
inline void SinkSetProgress(CProgressSink* sink, int percent) {
    if (sink)
        sink->SetProgress(percent);
}
inline void SinkSetTitle(CProgressSink* sink, const std::string& text) {
    if (sink)
        sink->SetTitle(text);
}
inline void SinkSetStatus(CProgressSink* sink, const std::string& text) {
    if (sink)
        sink->SetStatus(text);
}
inline void SinkClose(CProgressSink* sink) {
    if (sink)
        sink->Close();
}
inline bool SinkIsStopped(CProgressSink* sink) {
    return sink != nullptr && sink->IsStopped();
}
inline void SinkEnableStop(CProgressSink* sink, bool enable) {
    if (sink)
        sink->EnableStop(enable);
}
