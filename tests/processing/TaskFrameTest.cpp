#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "processing/ProcessingTask.h"
#include "processing/WorkerThread.h"
#include "res/StringTable.h"
#include "support/RecordingSink.h"

namespace {

// Works through ten items, reporting each, and stops when asked.
class CountingTask : public CProcessingTask {
  public:
    void Run() override {
        SinkSetTitle(m_sink, "Counting");
        for (int i = 0; i < 10; ++i) {
            if (SinkIsStopped(m_sink)) {
                SetLastMessage(IDS_PROCESS_STOPPED);
                ReportError(m_sink, GetLastMessage());
                SinkClose(m_sink);
                return;
            }
            SinkSetProgress(m_sink, i * 10);
            ++done;
        }
        m_succeeded = true;
        SinkClose(m_sink);
    }
    int done = 0;
};

TEST(TaskFrame, WorkerRunsTheTaskWithARecordingSink) {
    CountingTask task;
    RecordingSink sink;
    task.AttachSink(&sink);
    CPWorkerThread worker(&task);
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());  // once only
    worker.Join();
    EXPECT_TRUE(task.Succeeded());
    EXPECT_EQ(task.done, 10);
    ASSERT_EQ(sink.calls.size(), 12u);
    EXPECT_EQ(sink.calls.front(), "title:Counting");
    EXPECT_EQ(sink.calls[10], "progress:90");
    EXPECT_EQ(sink.calls.back(), "close");
}

TEST(TaskFrame, AStoppedTaskFailsAndShowsNothing) {
    CountingTask task;
    RecordingSink sink;
    sink.stopped = true;
    task.AttachSink(&sink);
    CPWorkerThread worker(&task);
    ASSERT_TRUE(worker.Start());
    worker.Join();
    EXPECT_FALSE(task.Succeeded());
    EXPECT_EQ(GetLastMessage(), "Process Stopped");
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"title:Counting", "close"}));
}

TEST(LastMessage, FormatsCutsAndReports) {
    SetLastMessage(IDS_COULD_NOT_READ_FILE, "/index.html");
    EXPECT_EQ(GetLastMessage(), "Could not read file /index.html");
    std::string longName(3000, 'n');
    SetLastMessage(IDS_COULD_NOT_READ_FILE, longName.c_str());
    EXPECT_EQ(GetLastMessage().size(), 1023u);
    EXPECT_EQ(GetLastMessage().substr(0, 20), "Could not read file ");

    RecordingSink sink;
    ReportError(&sink, "shown");
    sink.stopped = true;
    ReportError(&sink, "hidden");
    ReportError(nullptr, "nowhere");
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"message:shown"}));
}

}  // namespace
