// One step of an agent's processing as the step-by-step dialog and `tarvik run` take it: the
// agent's run lock, the chosen phases under a display, then the save of everything the step
// changed (the settings and the statistics file), so that nothing a long step learnt waits for
// the program's end. Call from the thread that owns the document (the user-interface thread).
#pragma once

#include <string>

#include "processing/AgentRunTask.h"

class CBrevDoc;

// How a step ended as far as its files go.
enum class StepSave {
    kSaved,               // the settings and, when the graph changed, the statistics file
    kNotRun,              // the run lock was not to be had: nothing ran, nothing was saved
    kStatisticsNotSaved,  // the statistics file could not be written (message says which)
    kSettingsNotSaved,    // the settings file could not be written (message says why)
};

struct StepResult {
    StepSave save = StepSave::kSaved;
    // The run's outcome, as recorded in the agent's IsProcessed (false when not run).
    bool succeeded = false;
    // The last message as the run left it: why it failed, or "Process Stopped". Meaningful only
    // when the run did not succeed; the run showed a failure through its display already.
    std::string runMessage;
    // What to show in a message box when save is not kSaved: for kNotRun why the lock was
    // refused ("Agent "%s" is being run by another program ..."), for kStatisticsNotSaved the
    // statistics message ("Could not write site statistics file (%s)"), for kSettingsNotSaved
    // the settings file's error.
    std::string message;
};

// Runs the phases (a set of RunPhase values) of agent, an entry of doc's agent list, as
// RunAgentWith does with runTask (the display that runs the task), holding the agent's run lock
// (CBrevDoc::LockForRun) from before the run until what it recorded is saved
// (CBrevDoc::SaveAgentState: ProcessTime, IsProcessed, the edited settings, and the statistics
// file when the graph changed; a stopped or failed crawl or log analysis changed nothing of
// it). A statistics file that could not be read and is kept aside is told through the doc's
// prompt. The agent's page graph may be another object afterwards (the lock reloads what
// another program saved; a stopped run puts a copy back): pointers into the graph taken before
// the step are not valid after it; find pages again by name. Borrows doc, agent and runTask for
// the call.
StepResult RunAgentStep(CBrevDoc& doc, CAgentSettings& agent, const TaskRunner& runTask,
                        unsigned phases);
