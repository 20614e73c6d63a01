#include "processing/AgentRunTask.h"

#include <algorithm>
#include <memory>

#include "agent/AgentList.h"
#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "log/LogAnalyzer.h"
#include "processing/SiteBackup.h"
#include "processing/WorkerThread.h"
#include "res/StringTable.h"
#include "sitemap/SiteMap.h"
#include "sitemap/SiteMapAnalyzer.h"
#include "synthesis/DeployedLoader.h"
#include "synthesis/SiteSynthesizer.h"

CAgentRunTask::CAgentRunTask(CAgentList* agentList, CAgentSettings* agent)
    : m_agentList(agentList), m_agent(agent) {}

CAgentRunTask::~CAgentRunTask() = default;

CachingParams CAgentRunTask::BuildCachingParams() const {
    CachingParams params;
    // The agent's own suffixes as typed, then the lists of the types switched on, run together
    // without separators: the text is only ever searched for substrings.
    params.Extensions = m_agent->CacheSuffix;
    const std::pair<bool, int> types[] = {
        {m_agent->CacheHTML, kSuffixHTML},
        {m_agent->CacheImages, kSuffixImage},
        {m_agent->CacheASP, kSuffixASP},
        {m_agent->CacheVideo, kSuffixVideo},
        {m_agent->CacheAudio, kSuffixAudio},
        {m_agent->CacheJava, kSuffixJava},
        {m_agent->CacheShockwave, kSuffixShockwave},
    };
    for (const auto& [on, type] : types) {
        if (on) {
            params.Extensions += m_agentList->GetSuffixList(type);
        }
    }
    params.CacheCGI = m_agent->CacheCGI;
    params.PageLimit = m_agent->isPageLimit ? m_agent->CachePageLimit : -1;
    params.ByteLimit = m_agent->isKBLimit ? static_cast<int64_t>(m_agent->CacheKBLimit) * 1024 : -1;
    params.AsciiPrefetch = m_agentList->GetAscii();
    params.ShowPrefetch = m_agent->IsShowPrefetch;
    params.ScriptPrefetch = m_agent->IsScriptPrefetch;
    return params;
}

LogParams CAgentRunTask::BuildLogParams(time_t now) const {
    LogParams params;
    params.StatWeight = m_agent->StatWeight;
    m_agent->GetTimeRange(now, &params.RangeStart, &params.RangeEnd);
    params.Accumulate = m_agent->StatAccumulate;
    return params;
}

void CAgentRunTask::Run() {
    const CachingParams params = BuildCachingParams();
    const LogParams logParams = BuildLogParams(time(nullptr));
    CAgentSettings& agent = *m_agent;

    m_forcedOrders.clear();
    m_purgeAfterCrawl = false;
    m_graphComplete = false;
    m_previousMap.reset();
    bool canRollBack = true;
    // The site as the agent's settings name it now: a location edited since the graph was made
    // (or loaded) is where this run reads and writes, never the old one.
    if (agent.SiteMap) {
        agent.SiteMap->SetAccess(CreateSiteAccess(agent));
    }
    const bool learns = doMap || doLog;
    if (doMap && doLog && !logParams.Accumulate) {
        // A fresh start. The prefetch orders the operator set by hand live in the graph; keep
        // them by name so that the new crawl can give them back.
        RememberForcedOrders();
        m_previousMap = std::move(agent.SiteMap);
    } else if (learns && agent.SiteMap) {
        m_previousMap = CopyOfGraph(*agent.SiteMap);
        canRollBack = m_previousMap != nullptr;
    }
    if (agent.SiteMap) {
        if (doMap) {
            // The crawl marks again what is still in the HTML. Pages nothing refers to any more
            // are dropped only after it: a page it finds again keeps what the logs taught it,
            // also when only static links of weight 0 led to it (the home page, typically).
            for (const auto& page : agent.SiteMap->Pages()) {
                page->ForgetStatic();
            }
            m_purgeAfterCrawl = true;
        }
        if (doLog && !logParams.Accumulate) {
            agent.SiteMap->ResetStatistics();
        }
    }
    m_succeeded = Pipeline(params, logParams);
    if (!m_succeeded && learns && !m_graphComplete && canRollBack) {
        // A crawl or a log analysis that failed or was stopped (or anything after them that
        // failed before the instructions were concluded) leaves the graph as it was before the
        // run: the statistics, the orders set by hand and the resume state are not given up for
        // a site or a log that could not be read this time. An agent without a graph before
        // the run has none after it.
        agent.SiteMap = std::move(m_previousMap);
        m_forcedOrders.clear();
        if (agent.SiteMap) {
            agent.SiteMap->SetAccess(CreateSiteAccess(agent));
        }
    }
    m_previousMap.reset();
    SinkClose(m_sink);
}

bool CAgentRunTask::Pipeline(const CachingParams& params, const LogParams& logParams) {
    CAgentSettings& agent = *m_agent;
    CSiteMap& map = EnsureSiteMap(agent);

    if (doMap) {
        map.SetHomePage(agent.HomePage);
        SinkSetTitle(m_sink, ResString(IDS_ANALYZING_SITE));
        if (!RunSiteMapAnalysis(map, agent.DomainName, m_sink)) {
            ReportError(m_sink, GetLastMessage());
            return false;
        }
        if (m_purgeAfterCrawl) {
            std::string home = agent.HomePage;
            if (home.empty() || home.front() != '/') {
                home.insert(home.begin(), '/');
            }
            map.PurgeUnreferenced(map.FindPage(home));
        }
        RestoreForcedOrders();
    }

    map.Renumber();
    if (!SiteFilesPass()) {
        return false;
    }

    if (doLog) {
        SinkSetTitle(m_sink, ResString(IDS_ANALYZING_LOGS));
        if (!agent.ignoreLogFile && !LogAnalysisStep(logParams)) {
            return false;
        }
    }

    map.Renumber();
    if (!SiteFilesPass()) {
        return false;
    }

    if (doEmbed && agent.IsBackup && !BackupStep()) {
        return false;
    }
    PreparePlanning(map);
    CSiteSynthesizer synthesizer(m_agentList->GetWorkDir(), agent.FilesDirectory, params,
                                 agent.IsDynamicSite, m_sink);
    SinkSetTitle(m_sink, ResString(IDS_CONCLUDING));
    if (!synthesizer.ConcludeCachingInstructions(map)) {
        ReportError(m_sink, GetLastMessage());
        return false;
    }
    // What the run learnt is complete from here on: it stays, whatever follows. Pages are being
    // rewritten: the user cannot interrupt that. Without embedding, Stop stays off for the rest
    // of the run.
    m_graphComplete = true;
    SinkEnableStop(m_sink, false);
    if (doEmbed) {
        SinkSetTitle(m_sink, ResString(IDS_EMBEDDING));
        const bool synthesized = synthesizer.Synthesize(map);
        SinkEnableStop(m_sink, true);
        if (!synthesized) {
            ReportError(m_sink, GetLastMessage());
            return false;
        }
    }

    SiteFilesPass();
    return true;
}

bool CAgentRunTask::SiteFilesPass() {
    CSiteMap& map = *m_agent->SiteMap;
    SinkSetTitle(m_sink, ResString(IDS_ANALYZING_FILES));
    SinkSetStatus(m_sink, ResString(IDS_ANALYZING_FILES));
    SinkSetProgress(m_sink, 0);
    // Every item's size once, pages first, then the other files; each reported by name.
    auto pass = [&](int count, auto itemAt, int statusId) {
        for (int i = 0; i < count; ++i) {
            CSiteFile* item = itemAt(i);
            if (m_sink != nullptr) {
                m_sink->SetStatus(FormatString(statusId, FileNameOf(item->Name).c_str()));
                m_sink->SetProgress(static_cast<int>(static_cast<int64_t>(i) * 100 / count));
                if (m_sink->IsStopped()) {
                    SetLastMessage(IDS_PROCESS_STOPPED);
                    return false;
                }
            }
            map.GetPageSize(item);
        }
        return true;
    };
    return pass(
               map.PageCount(), [&](int i) -> CSiteFile* { return map.PageAt(i); },
               IDS_PROCESSING_PAGE) &&
           pass(
               map.FileCount(), [&](int i) { return map.FileAt(i); }, IDS_PROCESSING_FILE);
}

bool CAgentRunTask::LogAnalysisStep(const LogParams& logParams) {
    if (!LearnFromLogs(*m_agent->SiteMap, *m_agent, logParams, m_sink)) {
        ReportError(m_sink, GetLastMessage());
        return false;
    }
    return true;
}

void PreparePlanning(CSiteMap& map) {
    for (const auto& page : map.Pages()) {
        page->IsAccelerated = true;
    }
    map.SortAllLinks();
}

bool LearnFromLogs(CSiteMap& map, const CAgentSettings& agent, const LogParams& params,
                   CProgressSink* sink, const std::string* pattern, const int32_t* format) {
    map.SetDecay(kLogDecayPeriod, DecayFactorOf(params.StatWeight));
    std::string lastFile;
    int32_t lastNumber = -1;
    int64_t position = -1;
    if (params.Accumulate && map.ResumeStateLost) {
        // Counts without their resume state cannot be added to: which hits they hold is
        // unknown. The logs are read again from the start into empty statistics.
        map.ResetStatistics();
        map.LastLogFile.clear();
        map.LastLogNumber = -1;
        map.LastLogPosition = -1;
        SinkShowMessage(sink, FormatString(IDS_RESUME_LOST, agent.AgentKey.c_str()));
    }
    if (params.Accumulate) {
        lastFile = map.LastLogFile;
        lastNumber = map.LastLogNumber;
        position = map.LastLogPosition;
    }
    CLogAnalyzer analyzer(map, agent.DomainName, params.RangeStart, params.RangeEnd, sink);
    // Accumulated statistics go on from the resume state: hits newer than this range are left
    // for the run that will have them in its range.
    analyzer.SetLeaveLateRecords(params.Accumulate);
    // What the last run deployed: its loader's own requests are not visits.
    const CLoaderDirectory loader =
        ReadDeployedLoader(map, agent.FilesDirectory, agent.IsDynamicSite);
    analyzer.SetLoader(&loader, agent.LoaderWorkingTime);
    analyzer.SetPurposeField(agent.PurposeField);
    const bool analysed = analyzer.AnalyzeLogFiles(pattern ? *pattern : agent.LogFile,
                                                   format ? *format : agent.LogFromat, lastFile,
                                                   lastNumber, position);
    // What was learnt stays in the graph, also after a failure or a Stop; the resume state says
    // how far that went, so that an accumulating run does not learn those hits a second time.
    map.LastLogFile = lastFile;
    map.LastLogNumber = lastNumber;
    map.LastLogPosition = position;
    return analysed;
}

bool CAgentRunTask::BackupStep() {
    CAgentSettings& agent = *m_agent;
    // The pages of a dynamic site are the server's output and are never rewritten: there is
    // nothing of the site to protect.
    if (agent.IsDynamicSite) {
        return true;
    }
    return Backup(*agent.SiteMap, agent.RootDirectory, agent.IsBackupModified, agent.BackupDir,
                  m_sink);
}

void CAgentRunTask::RememberForcedOrders() {
    if (!m_agent->SiteMap) {
        return;
    }
    for (const auto& page : m_agent->SiteMap->Pages()) {
        if (!page->ForcePrefetchOrder && page->ForcedPrefetchPages.empty()) {
            continue;
        }
        ForcedOrder order;
        order.page = page->Name;
        order.on = page->ForcePrefetchOrder;
        for (const CSitePage* forced : page->ForcedPrefetchPages) {
            order.forced.push_back(forced->Name);
        }
        m_forcedOrders.push_back(std::move(order));
    }
}

void CAgentRunTask::RestoreForcedOrders() {
    if (m_forcedOrders.empty() || !m_agent->SiteMap) {
        return;
    }
    CSiteMap& map = *m_agent->SiteMap;
    for (const ForcedOrder& order : m_forcedOrders) {
        CSitePage* page = map.FindPage(order.page);
        if (page == nullptr) {
            continue;
        }
        page->ForcePrefetchOrder = order.on;
        page->ForcedPrefetchPages.clear();
        for (const std::string& name : order.forced) {
            CSitePage* forced = map.FindPage(name);
            if (forced != nullptr &&
                std::find(page->ForcedPrefetchPages.begin(), page->ForcedPrefetchPages.end(),
                          forced) == page->ForcedPrefetchPages.end()) {
                page->ForcedPrefetchPages.push_back(forced);
            }
        }
    }
    m_forcedOrders.clear();
}

CSiteMap& EnsureSiteMap(CAgentSettings& agent) {
    if (!agent.SiteMap) {
        agent.SiteMap = std::make_unique<CSiteMap>(agent.HomePage);
        agent.SiteMap->SetAccess(CreateSiteAccess(agent));
    }
    return *agent.SiteMap;
}

std::unique_ptr<CSiteMap> CopyOfGraph(CSiteMap& map) {
    auto copy = std::make_unique<CSiteMap>(map.GetHomePage());
    const std::string bytes = map.Serialize();
    if (!copy->LoadFromMemory(bytes.data(), bytes.size())) {
        return nullptr;
    }
    copy->LastLogFile = map.LastLogFile;
    copy->LastLogPosition = map.LastLogPosition;
    copy->LastLogNumber = map.LastLogNumber;
    copy->ResumeStateLost = map.ResumeStateLost;
    copy->HitCount = map.HitCount;
    copy->SetDecay(map.DecayPeriod, map.DecayFactor);
    return copy;
}

bool RunTask(CProcessingTask& task, CProgressSink* sink) {
    task.AttachSink(sink);
    CPWorkerThread worker(&task);
    if (worker.Start()) {
        worker.Join();
    } else {
        task.Run();
    }
    task.AttachSink(nullptr);
    return task.Succeeded();
}

bool RunAgent(CAgentList& agentList, CAgentSettings& agent, CProgressSink* sink, unsigned phases) {
    return RunAgentWith(
        agentList, agent, [sink](CProcessingTask& task) { return RunTask(task, sink); }, phases);
}

bool RunAgentWith(CAgentList& agentList, CAgentSettings& agent, const TaskRunner& runTask,
                  unsigned phases) {
    CAgentRunTask task(&agentList, &agent);
    task.doMap = (phases & kRunMap) != 0;
    task.doLog = (phases & kRunLog) != 0;
    task.doEmbed = (phases & kRunEmbed) != 0;
    const bool succeeded = runTask(task) && task.Succeeded();
    agent.ProcessTime = FormatProcessTime(time(nullptr));
    agent.IsProcessed = succeeded;
    return succeeded;
}

std::string FormatProcessTime(time_t t) {
    struct tm local;
    if (localtime_r(&t, &local) == nullptr) {
        return std::string();
    }
    // Built by hand: the stored form must not follow the locale's names for AM and PM.
    const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    return FormatText("%d/%d/%02d %02d:%02d %s", local.tm_mon + 1, local.tm_mday,
                      local.tm_year % 100, hour, local.tm_min,
                      ResString(local.tm_hour < 12 ? IDS_TIME_AM : IDS_TIME_PM));
}
