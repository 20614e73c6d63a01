// The process-wide last-message buffer: every failing phase leaves one formatted string-table
// message here, and the code that ends the phase shows it once. A run writes it on its worker
// thread; the display reads it after the run. Access is serialised, so any thread may call.
#pragma once

#include <string>

class CProgressSink;

// The most characters the buffer keeps; longer messages are cut.
constexpr int kLastMessageMax = 1023;

// Formats the string-table text of id with the printf-style arguments that follow and stores it,
// cut to kLastMessageMax characters. Shows nothing.
void SetLastMessage(int id, ...);

// Stores a text as it is (cut to kLastMessageMax characters).
void SetLastMessageText(const std::string& text);

// A copy of the buffer's text.
std::string GetLastMessage();

// Shows text through the sink's ShowMessage, unless no sink is attached or the user pressed
// Stop (a run the user stopped shows no failure). Borrows the sink.
void ReportError(CProgressSink* sink, const std::string& text);
