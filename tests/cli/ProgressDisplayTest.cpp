// The command line's progress displays of a run: the status line on stderr (plain lines or one
// line updated in place), the stop flag behind Ctrl-C, and the phase timings of --timings.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "cli/TerminalSink.h"
#include "cli/TimingSink.h"
#include "support/RecordingSink.h"

namespace {

// A stream into memory; Text() is everything written to it so far.
struct Stream {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    ~Stream() {
        std::fclose(f);
        std::free(data);
    }
    std::string Text() {
        std::fflush(f);
        return std::string(data, size);
    }
};

TEST(TerminalSink, PlainLinesAndStopWhenNotATerminal) {
    Stream out;
    {
        CTerminalSink sink(out.f, false);
        sink.SetTitle("Analyzing site ...");
        sink.SetTitle("Analyzing site ...");  // the same title: not again
        // Names from a site or a log: their control characters are shown, never obeyed.
        sink.SetStatus(
            "Processing page a\x1b]0;t\x07\xC2\x9B"
            "2J\xFF.html");                                              // not drawn yet
        sink.ShowMessage("Could not read file /x\x1b[2J.html\n\u00e9");  // at once, then again
        sink.SetProgress(40);
        sink.SetTitle("Analyzing log files ...");
        // Ctrl-C while the pages are rewritten is not a stop.
        sink.EnableStop(false);
        sink.RequestStop();
        EXPECT_FALSE(sink.IsStopped());
        sink.EnableStop(true);
        sink.RequestStop();
        EXPECT_TRUE(sink.IsStopped());
    }
    EXPECT_EQ(out.Text(),
              "Analyzing site ...\n"
              "Could not read file /x\\x1b[2J.html\n\u00e9\n"
              "Analyzing site ...: Processing page a\\x1b]0;t\\x07\\xc2\\x9b2J\\xff.html\n"
              "Analyzing log files ...\n");
}

TEST(TerminalSink, OneLineUpdatedInPlaceOnATerminal) {
    Stream out;
    {
        CTerminalSink sink(out.f, true);
        sink.SetTitle("Analyzing site's files");
        sink.SetProgress(150);  // shown as at most 99
        sink.SetStatus("Processing file logo.gif");
        sink.ShowMessage("Expected Log Processing time is 12 minutes");
        sink.Close();
    }
    // Progress and status within 100 ms of the last draw wait for the next one (unless the
    // machine stalled in between); the message clears the line and draws it again.
    const std::string text = out.Text();
    const std::string end =
        "\r\033[KExpected Log Processing time is 12 minutes\n"
        "\r\033[K[99%] Analyzing site's files: Processing file logo.gif\n";
    EXPECT_TRUE(text.starts_with("\r\033[KAnalyzing site's files")) << text;
    EXPECT_TRUE(text.ends_with(end)) << text;
    EXPECT_EQ(text.find('\n'), text.size() - end.size() + end.find('\n')) << text;
}

TEST(TimingSink, PhasesAddUpAndCallsPassOn) {
    RecordingSink inner;
    CTimingSink timing(&inner);
    timing.SetTitle("Analyzing site's files");
    timing.SetTitle("Analyzing site's files");
    timing.SetStatus("Processing page a.html");
    timing.SetTitle("Embedding Java into Site");
    timing.EnableStop(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timing.SetProgress(50);
    timing.SetTitle("Analyzing site's files");
    timing.ShowMessage("Process Stopped");
    EXPECT_FALSE(timing.IsStopped());
    inner.stopped = true;
    EXPECT_TRUE(timing.IsStopped());
    timing.Close();

    ASSERT_EQ(timing.Phases().size(), 2u);
    EXPECT_GE(timing.Phases()[1].second, 0.02);
    EXPECT_EQ(inner.calls, (std::vector<std::string>{
                               "title:Analyzing site's files", "title:Analyzing site's files",
                               "status:Processing page a.html", "title:Embedding Java into Site",
                               "stop:off", "progress:50", "title:Analyzing site's files",
                               "message:Process Stopped", "close"}));
}

}  // namespace
