#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "processing/ProcessingTask.h"
#include "processing/WorkerThread.h"
#include "res/StringTable.h"
#include "support/RecordingSink.h"

namespace {

// Reports ten steps.
class CountingTask : public CProcessingTask {
  public:
    void Run() override {
        SinkSetTitle(m_sink, "Counting");
        for (int i = 0; i < 10; ++i) {
            SinkSetProgress(m_sink, i * 10);
        }
        m_succeeded = true;
        SinkClose(m_sink);
    }
};

TEST(TaskFrame, WorkerRunsTheTaskOnceWithItsSink) {
    CountingTask task;
    RecordingSink sink;
    task.AttachSink(&sink);
    CPWorkerThread worker(&task);
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());  // once only
    worker.Join();
    EXPECT_TRUE(task.Succeeded());
    ASSERT_EQ(sink.calls.size(), 12u);
    EXPECT_EQ(sink.calls.front(), "title:Counting");
    EXPECT_EQ(sink.calls[10], "progress:90");
    EXPECT_EQ(sink.calls.back(), "close");
}

// A message longer than the last message holds is cut.
TEST(LastMessage, ALongMessageIsCut) {
    std::string longName(3000, 'n');
    SetLastMessage(IDS_COULD_NOT_READ_FILE, longName.c_str());
    EXPECT_EQ(GetLastMessage(), "Could not read file " + std::string(1023 - 20, 'n'));
}

}  // namespace
