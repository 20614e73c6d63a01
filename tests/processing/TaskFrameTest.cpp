#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/LastMessage.h"
#include "processing/ProcessingTask.h"
#include "processing/WorkerThread.h"
#include "res/StringTable.h"
#include "support/RecordingSink.h"

namespace {

class ReportingTask : public CProcessingTask {
  public:
    void Run() override {
        SinkSetTitle(m_sink, "Reporting");
        SinkSetProgress(m_sink, 50);
        m_succeeded = true;
        SinkClose(m_sink);
    }
};

TEST(TaskFrame, WorkerRunsTheTaskOnceWithItsSink) {
    ReportingTask task;
    RecordingSink sink;
    task.AttachSink(&sink);
    CPWorkerThread worker(&task);
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());  // once only
    worker.Join();
    EXPECT_TRUE(task.Succeeded());
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"title:Reporting", "progress:50", "close"}));
}

// A message longer than the last message holds is cut.
TEST(LastMessage, ALongMessageIsCut) {
    std::string longName(3000, 'n');
    SetLastMessage(IDS_COULD_NOT_READ_FILE, longName.c_str());
    EXPECT_EQ(GetLastMessage(), "Could not read file " + std::string(1023 - 20, 'n'));
}

}  // namespace
