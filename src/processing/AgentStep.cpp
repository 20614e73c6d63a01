#include "processing/AgentStep.h"

#include <memory>

#include "agent/AgentSettings.h"
#include "agent/BrevDoc.h"
#include "agent/RunLock.h"
#include "base/LastMessage.h"
#include "hive/HiveFile.h"

StepResult RunAgentStep(CBrevDoc& doc, CAgentSettings& agent, const TaskRunner& runTask,
                        unsigned phases) {
    StepResult result;
    std::unique_ptr<CRunLock> lock = doc.LockForRun(agent);
    if (!lock) {
        result.save = StepSave::kNotRun;
        result.message = GetLastMessage();
        return result;
    }
    result.succeeded = RunAgentWith(doc.Agents(), agent, runTask, phases);
    result.runMessage = GetLastMessage();
    bool statisticsSaved = true;
    if (!doc.SaveAgentState(agent, true, &statisticsSaved)) {
        if (!statisticsSaved) {
            result.save = StepSave::kStatisticsNotSaved;
            result.message = GetLastMessage();
        } else {
            result.save = StepSave::kSettingsNotSaved;
            result.message =
                UserHive().LastError().empty() ? GetLastMessage() : UserHive().LastError();
        }
    }
    return result;
}
