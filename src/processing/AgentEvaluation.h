// How well an agent's prefetch plan would have served its visitors: replays access logs against
// the plan a run would write (without writing anything) and scores it beside two plans made from
// the replay itself: the best lists of the same lengths (a ceiling no learner passes) and each
// page's links in document order. Optionally learns from the first part of the logs first, and
// sweeps the page and size limits. Runs on the calling thread; reports through the sink.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "processing/PlanScorer.h"

class CAgentList;
class CAgentSettings;
class CProgressSink;

struct EvaluateOptions {
    std::string pattern;  // the log files; empty: the agent's LogFile
    int32_t format = -1;  // a LogFormat; -1: the agent's LogFromat
    // The records replayed (or, with split, learnt from and replayed): from < time <= to.
    time_t from = 0;
    time_t to = 0;  // 0: no end
    // 1 to 99: learn afresh from the first split percent of the logs' time span, then replay the
    // rest; 0: replay every record against what the agent has learnt.
    int32_t split = 0;
    // The sweep: every combination of these page limits and limits in kilobytes (-1: none). An
    // empty list stands for the agent's own setting; both empty: no sweep.
    std::vector<int32_t> sweepPages;
    std::vector<int32_t> sweepKb;
};

struct PlanFigures {
    PlanScore agent;
    PlanScore ceiling;
    PlanScore linkOrder;
};

struct PageEvaluation {
    std::string name;
    PlanFigures figures;
};

struct SweepPoint {
    int32_t pageLimit = -1;  // -1: none
    int32_t kbLimit = -1;    // -1: none
    PlanScore score;
};

struct EvaluationResult {
    int32_t split = 0;
    time_t learnFrom = 0;  // with split: the records learnt from lie in (learnFrom, learnTo]
    time_t learnTo = 0;
    time_t replayFrom = 0;  // the records replayed lie in (replayFrom, replayTo]
    time_t replayTo = 0;
    int64_t records = 0;     // replayed records in range
    int64_t botRecords = 0;  // of those, left out as bots'
    int64_t botClients = 0;
    PlanFigures site;
    std::vector<PageEvaluation> pages;  // every page viewed or left, most views first
    std::vector<SweepPoint> sweep;
};

// Evaluates agent's plan (list: the working directory and the suffix lists; borrowed, as are
// agent and sink). The agent's page graph is the one changed: planning marks, pages the logs
// name, and with split the learning; give a copy that is not saved afterwards. The site is read
// (its pages' links in document order) and nothing is written. False with the message recorded
// through SetLastMessage when the agent has no page graph, the site cannot be read, or the logs
// give nothing to learn or replay.
bool EvaluateAgent(CAgentList& list, CAgentSettings& agent, const EvaluateOptions& options,
                   CProgressSink* sink, EvaluationResult& result);
