// A processing run of one agent: the site map, the logs, the backup, the caching instructions and
// the embedding, or any of the three phases alone. The task runs on a worker thread and reports
// only through its sink, so it also runs without any window; with no sink it is silent and never
// stops early. While it runs, only its worker touches the agent, its page graph and the site.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "processing/ProcessingTask.h"
#include "synthesis/CachingParams.h"

class CAgentList;
class CAgentSettings;
class CSiteMap;

// The parameters of the log phase.
struct LogParams {
    int32_t StatWeight = 1;
    time_t RangeStart = 0;
    time_t RangeEnd = 0;
    bool Accumulate = false;
};

class CAgentRunTask : public CProcessingTask {
  public:
    // Borrows the agent list (working directory, suffix lists, plain-text switch) and the agent.
    // All three phases are on.
    CAgentRunTask(CAgentList* agentList, CAgentSettings* agent);
    ~CAgentRunTask() override;

    void Run() override;

    // The parameter blocks, as Run builds them from the agent and the agent list.
    CachingParams BuildCachingParams() const;
    LogParams BuildLogParams(time_t now) const;

    bool doMap = true;
    bool doLog = true;
    bool doEmbed = true;

  private:
    // The prefetch order an operator set by hand on one page, kept by name across a fresh start.
    struct ForcedOrder {
        std::string page;
        bool on = false;
        std::vector<std::string> forced;
    };

    bool Pipeline(const CachingParams& params, const LogParams& logParams);
    // Asks the size of every page and file once. False with "Process Stopped" when stopped.
    bool SiteFilesPass();
    bool LogAnalysisStep(const LogParams& logParams);
    bool BackupStep();
    void RememberForcedOrders();
    void RestoreForcedOrders();

    CAgentList* m_agentList;
    CAgentSettings* m_agent;
    std::vector<ForcedOrder> m_forcedOrders;
    // The graph as it was before a run that crawls or reads logs (the graph itself for a fresh
    // start, else a copy), put back when the run fails or is stopped before its graph is
    // complete.
    std::unique_ptr<CSiteMap> m_previousMap;
    // The instructions were concluded: what the run learnt stays, also after a later failure.
    bool m_graphComplete = false;
    // The kept graph forgot its static structure; unreferenced pages go once the crawl is done.
    bool m_purgeAfterCrawl = false;
};

// The agent's page graph; when it has none, a new empty one for its HomePage with a site access
// object made from its settings. Never fails. The graph stays the agent's (borrowed by the
// caller until the next step, which may replace it).
CSiteMap& EnsureSiteMap(CAgentSettings& agent);

// A copy of map as its statistics file holds it, with its hit count, resume state and decay
// settings; without an access object. nullptr when the graph cannot be read back (a name longer
// than the file format allows).
std::unique_ptr<CSiteMap> CopyOfGraph(CSiteMap& map);

// Readies map for planning as a run does just before it concludes the caching instructions:
// every page accelerated, every page's links sorted.
void PreparePlanning(CSiteMap& map);

// The log phase of a run on map (borrowed, as are agent and sink): the decay from params, the
// resume state of map when params accumulate, the agent's LogFile and LogFromat unless pattern
// is given; map's resume state is updated to what was learnt, also after a failure. False when
// the phase failed, with the message recorded through SetLastMessage (not shown).
bool LearnFromLogs(CSiteMap& map, const CAgentSettings& agent, const LogParams& params,
                   CProgressSink* sink, const std::string* pattern = nullptr,
                   const int32_t* format = nullptr);

// Runs the task on a worker thread with the sink attached (borrowed; may be null) and waits for
// it to end; when no thread can be started it runs on the calling thread. Returns Succeeded.
bool RunTask(CProcessingTask& task, CProgressSink* sink);

// The phases of a run, as a set: any of them or'ed together; kFullRun is all three.
enum RunPhase : unsigned {
    kRunMap = 1u << 0,    // crawl the site
    kRunLog = 1u << 1,    // analyse the access logs
    kRunEmbed = 1u << 2,  // plan, write the instructions and embed the loader
    kFullRun = kRunMap | kRunLog | kRunEmbed,
};

// Runs the given phases of the agent (a set of RunPhase values) and then records the outcome in
// the agent: ProcessTime (now, formatted by FormatProcessTime) and IsProcessed (the run's
// success), whether or not it succeeded. On failure the last message says why ("Process
// Stopped" when stopped). Every run reaches the site through an access object made from the
// agent's settings as they are when it starts. A run with the map or the log phase that fails
// or is stopped before its caching instructions are concluded leaves the agent's page graph as
// it was before the run (none when it had none); that graph may be another object than the one
// the run began with, so pointers into the graph do not outlive a run. Borrows everything; the
// settings are not written here (RunAgentStep runs and saves).
bool RunAgent(CAgentList& agentList, CAgentSettings& agent, CProgressSink* sink,
              unsigned phases = kFullRun);

// Runs a task with its display attached and returns when the task has ended; false when it could
// not be run at all (its display then said why).
using TaskRunner = std::function<bool(CProcessingTask&)>;

// RunAgent for a display that runs the task itself (the desktop program's progress dialog runs it
// on a worker thread of its own). Records the outcome the same way.
bool RunAgentWith(CAgentList& agentList, CAgentSettings& agent, const TaskRunner& runTask,
                  unsigned phases = kFullRun);

// The run time as stored: month/day/two-digit year, 12-hour clock with AM/PM, month and day
// without leading zeros ("12/6/26 09:05 PM").
std::string FormatProcessTime(time_t t);
