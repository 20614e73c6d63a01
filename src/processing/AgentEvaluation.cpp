#include "processing/AgentEvaluation.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "agent/AgentList.h"
#include "agent/AgentSettings.h"
#include "agent/SiteAccessFactory.h"
#include "base/LastMessage.h"
#include "base/ProgressSink.h"
#include "log/LogAnalyzer.h"
#include "log/LogFiles.h"
#include "log/LogReader.h"
#include "processing/AgentRunTask.h"
#include "processing/ReplayCounts.h"
#include "res/StringTable.h"
#include "sitemap/SiteMap.h"
#include "sitemap/SiteMapAnalyzer.h"
#include "synthesis/DeployedLoader.h"
#include "synthesis/SiteSynthesizer.h"

namespace {

using DocumentOrder = std::unordered_map<const CSitePage*, std::vector<CSitePage*>>;

// Each page's static links in the order of its HTML, read afresh from the site (the graph keeps
// its links ranked), as pages of map.
bool ReadDocumentOrder(const CAgentSettings& agent, CSiteMap& map, CProgressSink* sink,
                       DocumentOrder& order) {
    CSiteMap crawl(agent.HomePage);
    crawl.SetAccess(CreateSiteAccess(agent));
    SinkSetTitle(sink, ResString(IDS_ANALYZING_SITE));
    if (!RunSiteMapAnalysis(crawl, agent.DomainName, sink)) {
        return false;
    }
    for (const auto& crawled : crawl.Pages()) {
        CSitePage* page = map.FindPage(crawled->Name);
        if (page == nullptr) {
            continue;
        }
        std::vector<CSitePage*>& links = order[page];
        for (const auto& link : crawled->Links) {
            if (!link->IsStatic || link->Target == nullptr) {
                continue;
            }
            if (CSitePage* target = map.FindPage(link->Target->Name)) {
                links.push_back(target);
            }
        }
    }
    return true;
}

// The lists a run would write: every existing page's, planned with params.
SitePlan PlanOf(CSiteMap& map, CSiteSynthesizer& synthesizer) {
    synthesizer.ConcludeCachingInstructions(map);
    SitePlan plan;
    for (const auto& page : map.Pages()) {
        if (!map.HasSize(page.get())) {
            continue;
        }
        if (std::optional<PrefetchList> list = synthesizer.BuildPrefetchList(page.get())) {
            plan.emplace(page.get(), std::move(*list));
        }
    }
    return plan;
}

std::size_t TargetCount(const PrefetchList& list) {
    std::unordered_set<const CSiteFile*> targets;
    for (const PrefetchEntry& entry : list) {
        if (entry.IsPageMarker) {
            targets.insert(entry.File);
        }
    }
    return targets.size();
}

// For every page with a list in agentPlan, a list of the same number of targets: the pages
// visitors went to most from it in the replay (ceiling), or its links in document order.
SitePlan CeilingPlan(const SitePlan& agentPlan, const CReplayCounts& counts,
                     CSiteSynthesizer& synthesizer) {
    SitePlan plan;
    for (const auto& [page, list] : agentPlan) {
        std::vector<std::pair<CSitePage*, int64_t>> next;
        if (const CReplayCounts::PageCounts* c = counts.Find(page)) {
            next.assign(c->next.begin(), c->next.end());
        }
        std::sort(next.begin(), next.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first->Name < b.first->Name;
        });
        next.resize(std::min(next.size(), TargetCount(list)));
        std::vector<CSitePage*> targets;
        targets.reserve(next.size());
        for (const auto& [target, n] : next) {
            targets.push_back(target);
        }
        plan.emplace(page, synthesizer.ListForTargets(targets));
    }
    return plan;
}

SitePlan LinkOrderPlan(const SitePlan& agentPlan, const DocumentOrder& order,
                       CSiteSynthesizer& synthesizer) {
    SitePlan plan;
    for (const auto& [page, list] : agentPlan) {
        const std::size_t length = TargetCount(list);
        std::vector<CSitePage*> targets;
        auto links = order.find(page);
        if (links != order.end()) {
            for (CSitePage* target : links->second) {
                if (targets.size() == length) {
                    break;
                }
                if (!page->ContainsFrame(target) &&
                    std::find(targets.begin(), targets.end(), target) == targets.end()) {
                    targets.push_back(target);
                }
            }
        }
        plan.emplace(page, synthesizer.ListForTargets(targets));
    }
    return plan;
}

bool Evaluate(CAgentList& list, CAgentSettings& agent, const EvaluateOptions& options,
              CProgressSink* sink, EvaluationResult& result) {
    result = EvaluationResult();
    if (!agent.SiteMap || agent.SiteMap->PageCount() == 0) {
        SetLastMessage(IDS_EVAL_NO_GRAPH, agent.AgentKey.c_str());
        return false;
    }
    CSiteMap& map = *agent.SiteMap;
    map.SetAccess(CreateSiteAccess(agent));
    const std::string pattern = options.pattern.empty() ? agent.LogFile : options.pattern;
    const int32_t format = options.format < 0 ? agent.LogFromat : options.format;
    const time_t to = options.to > 0 ? options.to : kLatestLogTime;

    CAgentRunTask run(&list, &agent);
    const CachingParams params = run.BuildCachingParams();
    result.split = options.split;
    result.replayFrom = options.from;
    result.replayTo = to;
    if (options.split > 0) {
        time_t first = 0;
        time_t last = 0;
        if (ListLogFiles(pattern, std::string(), -1).empty()) {
            SetLastMessage(IDS_NO_LOG_FILES_MATCH, FileNameOf(pattern).c_str());
            return false;
        }
        if (!LogTimeSpan(pattern, format, first, last)) {
            SetLastMessage(IDS_EVAL_NO_RECORDS, FileNameOf(pattern).c_str(), LogFormatName(format));
            return false;
        }
        // Records at exactly the start of a range are not in it: start one second earlier.
        first = std::max(first - 1, options.from);
        last = std::min(last, to);
        result.learnFrom = first;
        result.learnTo = first + static_cast<time_t>((static_cast<double>(last) - first) *
                                                     options.split / 100.0);
        result.replayFrom = result.learnTo;
        LogParams learn = run.BuildLogParams(time(nullptr));
        learn.RangeStart = result.learnFrom;
        learn.RangeEnd = result.learnTo;
        learn.Accumulate = false;
        map.ResetStatistics();
        SinkSetTitle(sink, ResString(IDS_ANALYZING_LOGS));
        if (!LearnFromLogs(map, agent, learn, sink, &pattern, &format)) {
            return false;
        }
    }

    // After the learning, which may drop pages the logs alone had named.
    DocumentOrder order;
    if (!ReadDocumentOrder(agent, map, sink, order)) {
        return false;
    }
    SinkSetTitle(sink, ResString(IDS_CONCLUDING));
    PreparePlanning(map);
    CSiteSynthesizer synthesizer(list.GetWorkDir(), agent.FilesDirectory, params,
                                 agent.IsDynamicSite, nullptr);
    const SitePlan agentPlan = PlanOf(map, synthesizer);

    CReplayCounts counts;
    CLogAnalyzer replay(map, agent.DomainName, result.replayFrom, result.replayTo, sink);
    replay.SetReplay(&counts, true);
    // The deployed loader's requests are no visits; a page it prefetched and the visitor then
    // opened from the cache is seen through its marker.
    const CLoaderDirectory loader =
        ReadDeployedLoader(map, agent.FilesDirectory, agent.IsDynamicSite);
    replay.SetLoader(&loader, agent.LoaderWorkingTime);
    replay.SetPurposeField(agent.PurposeField);
    SinkSetTitle(sink, ResString(IDS_EVAL_REPLAYING));
    std::string lastFile;
    int32_t lastNumber = -1;
    int64_t position = -1;
    if (!replay.AnalyzeLogFiles(pattern, format, lastFile, lastNumber, position)) {
        return false;
    }
    result.records = replay.TotalHits();
    result.botRecords = replay.BotHits();
    result.botClients = replay.BotClients();

    SinkSetTitle(sink, ResString(IDS_EVAL_SCORING));
    const SitePlan ceiling = CeilingPlan(agentPlan, counts, synthesizer);
    const SitePlan links = LinkOrderPlan(agentPlan, order, synthesizer);
    CPlanScorer scorer(counts);
    for (const auto& [page, c] : counts.Pages()) {
        PageEvaluation row;
        row.name = page->Name;
        row.figures.agent = scorer.ScorePage(agentPlan, page);
        row.figures.ceiling = scorer.ScorePage(ceiling, page);
        row.figures.linkOrder = scorer.ScorePage(links, page);
        result.site.agent.Add(row.figures.agent);
        result.site.ceiling.Add(row.figures.ceiling);
        result.site.linkOrder.Add(row.figures.linkOrder);
        result.pages.push_back(std::move(row));
    }
    std::sort(result.pages.begin(), result.pages.end(),
              [](const PageEvaluation& a, const PageEvaluation& b) {
                  return a.figures.agent.views != b.figures.agent.views
                             ? a.figures.agent.views > b.figures.agent.views
                             : a.name < b.name;
              });

    if (!options.sweepPages.empty() || !options.sweepKb.empty()) {
        const int32_t ownPages = params.PageLimit;
        const int32_t ownKb =
            params.ByteLimit < 0 ? -1 : static_cast<int32_t>(params.ByteLimit / 1024);
        const std::vector<int32_t> pages =
            options.sweepPages.empty() ? std::vector<int32_t>{ownPages} : options.sweepPages;
        const std::vector<int32_t> kbs =
            options.sweepKb.empty() ? std::vector<int32_t>{ownKb} : options.sweepKb;
        for (int32_t pageLimit : pages) {
            for (int32_t kb : kbs) {
                CachingParams limited = params;
                limited.PageLimit = pageLimit;
                limited.ByteLimit = kb < 0 ? -1 : static_cast<int64_t>(kb) * 1024;
                CSiteSynthesizer planner(list.GetWorkDir(), agent.FilesDirectory, limited,
                                         agent.IsDynamicSite, nullptr);
                SweepPoint point;
                point.pageLimit = pageLimit;
                point.kbLimit = kb;
                point.score = scorer.ScoreSite(PlanOf(map, planner));
                result.sweep.push_back(point);
            }
        }
    }
    return true;
}

}  // namespace

bool EvaluateAgent(CAgentList& list, CAgentSettings& agent, const EvaluateOptions& options,
                   CProgressSink* sink, EvaluationResult& result) {
    const bool ok = Evaluate(list, agent, options, sink, result);
    SinkClose(sink);
    return ok;
}
