// tarvik run: runs an agent without a window, all phases or the chosen ones, showing progress on
// stderr (Ctrl-C stops; a second Ctrl-C ends at once). tarvik estimate: the page and site
// estimates of an agent's statistics. Both open and close the agent list as the program does, so
// the agent's settings and statistics file are saved afterwards whatever the outcome.

#include <cstdio>
#include <string>
#include <vector>

#include "agent/AgentList.h"
#include "agent/BrevDoc.h"
#include "agent/RunLock.h"
#include "base/LastMessage.h"
#include "cli/CliPrompt.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/TerminalSink.h"
#include "cli/TimingSink.h"
#include "processing/AgentRunTask.h"
#include "processing/AgentStep.h"
#include "processing/Estimates.h"
#include "res/StringTable.h"
#include "sitemap/SiteMap.h"
#include "synthesis/InstructionDecoder.h"

namespace {

constexpr int kExitInterrupted = 130;

struct RunOptions {
    std::string agent;
    bool map = false;
    bool log = false;
    bool embed = false;
    bool timings = false;
};

int Run(const RunOptions& options) {
    bool interrupted = false;
    CCliPrompt prompt;
    int status = RunWithAgentDocument(prompt, [&](CBrevDoc& doc) {
        CAgentSettings* agent = FindAgent(doc.Agents(), options.agent);
        if (agent == nullptr) {
            return false;
        }
        unsigned phases = (options.map ? kRunMap : 0u) | (options.log ? kRunLog : 0u) |
                          (options.embed ? kRunEmbed : 0u);
        if (phases == 0)
            phases = kFullRun;
        CTerminalSink terminal(stderr);
        // A second Ctrl-C: the outcome is recorded, and the statistics too when the run has
        // finished learning (Stop is off from then on), before the process ends.
        terminal.SetExitHook([&doc, agent](bool graphComplete) {
            agent->ProcessTime = FormatProcessTime(time(nullptr));
            agent->IsProcessed = false;
            doc.SaveAgentState(*agent, graphComplete);
        });
        CTimingSink timing(&terminal);
        CProgressSink* sink = options.timings ? static_cast<CProgressSink*>(&timing) : &terminal;
        CTerminalSink::InstallInterruptHandler(&terminal);
        const auto started = std::chrono::steady_clock::now();
        // The same step as the desktop program's: one run per agent at a time, held until what
        // it recorded (whichever phases ran) is saved.
        const StepResult step = RunAgentStep(
            doc, *agent, [sink](CProcessingTask& task) { return RunTask(task, sink); }, phases);
        const double total =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        terminal.Finish();
        interrupted = terminal.IsStopped() || CTerminalSink::WasInterrupted();
        CTerminalSink::InstallInterruptHandler(nullptr);
        if (step.save == StepSave::kNotRun) {
            PrintCliError(step.message);
            return false;
        }
        const bool ok = step.succeeded;
        const bool saved = step.save == StepSave::kSaved;
        if (!saved) {
            PrintCliError(step.message);
        }
        if (options.timings) {
            PrintPhaseTimings(timing, total);
        }
        if (!ok) {
            // A failure the run showed already is not printed again; a stopped run showed
            // nothing and says so here.
            if (step.runMessage != terminal.LastShown()) {
                PrintCliError(step.runMessage);
            }
            return false;
        }
        std::printf("%s\n", ResString(IDS_CLI_RUN_FINISHED));
        return saved;
    });
    return status != 0 && interrupted ? kExitInterrupted : status;
}

// The estimates of one page as the dialog shows them: load, idle, and the three next-click
// values or "no direct links".
struct PageRow {
    std::string name;
    PageEstimates shown;
};

void PrintEstimateTable(const std::vector<PageRow>& rows, const std::string& site) {
    std::vector<std::vector<std::string>> table;
    table.push_back({ResString(IDS_CLI_EST_PAGE), ResString(IDS_CLI_EST_LOAD),
                     ResString(IDS_CLI_EST_IDLE), ResString(IDS_CLI_EST_WITHOUT),
                     ResString(IDS_CLI_EST_WITH), ResString(IDS_CLI_EST_ACCELERATION)});
    for (const PageRow& row : rows) {
        const PageEstimates& e = row.shown;
        std::vector<std::string> line = {row.name, FormatString(IDS_SECONDS, e.load),
                                         FormatString(IDS_SECONDS, e.idle)};
        if (e.direct) {
            line.push_back(FormatString(IDS_SECONDS, ShownSeconds(e.next.w0 - 0.5)));
            line.push_back(FormatString(IDS_SECONDS, ShownSeconds(e.next.w1 - 0.5)));
            line.push_back(FormatString(IDS_PERCENT, ShownPageAcceleration(e.next)));
        } else {
            line.insert(line.end(), 3, ResString(IDS_NO_DIRECT_LINKS));
        }
        table.push_back(std::move(line));
    }
    std::vector<std::size_t> widths(table[0].size(), 0);
    for (const auto& line : table) {
        for (std::size_t i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    for (const auto& line : table) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size())
                text.append(widths[i] - line[i].size() + 2, ' ');
        }
        std::printf("%s\n", text.c_str());
    }
    std::printf("\n%s\n", FormatString(IDS_CLI_EST_SITE, site.c_str()).c_str());
}

void PrintEstimateJson(const std::vector<PageRow>& rows, bool available, double acceleration) {
    std::printf("{\n  \"site\": {\"available\": %s, \"acceleration\": %.6g, \"percent\": %d},\n",
                available ? "true" : "false", acceleration,
                available ? ShownSiteAcceleration(acceleration) : 0);
    std::printf("  \"pages\": [");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const PageRow& row = rows[i];
        const PageEstimates& e = row.shown;
        std::printf(
            "%s\n    {\"name\": %s, \"loadSeconds\": %d, \"idleSeconds\": %d, "
            "\"directLinks\": %s",
            i ? "," : "", JsonString(row.name).c_str(), e.load, e.idle,
            e.direct ? "true" : "false");
        if (e.direct) {
            std::printf(", \"w0\": %.6g, \"w1\": %.6g, \"weight\": %.6g, \"percent\": %d",
                        e.next.w0, e.next.w1, e.next.p, ShownPageAcceleration(e.next));
        }
        std::printf("}");
    }
    std::printf("\n  ]\n}\n");
}

int Estimate(const std::string& agentName, bool json) {
    CCliPrompt prompt;
    return RunWithAgentDocument(prompt, [&](CBrevDoc& doc) {
        CAgentSettings* agent = FindAgent(doc.Agents(), agentName);
        if (agent == nullptr) {
            return false;
        }
        if (!agent->SiteMap || agent->SiteMap->PageCount() == 0) {
            PrintCliError(FormatString(IDS_CLI_EST_NO_GRAPH, agent->AgentKey.c_str()));
            return false;
        }
        // The shown estimates change nothing in the graph, so this command, which only reads,
        // never rewrites the statistics file (a run of the agent may be saving a newer one).
        CSiteMap& map = *agent->SiteMap;
        std::vector<PageRow> rows;
        for (const auto& page : map.Pages()) {
            rows.push_back(PageRow{page->Name, EstimatePage(*page)});
        }
        const SiteEstimates site = EstimateSite(map);
        if (json) {
            PrintEstimateJson(rows, site.available, site.acceleration);
        } else {
            PrintEstimateTable(
                rows, site.available
                          ? FormatString(IDS_PERCENT, ShownSiteAcceleration(site.acceleration))
                          : std::string(ResString(IDS_NO_SITE_STATISTICS)));
        }
        return true;
    });
}

// Prints every file's lines; a file that cannot be read or decoded fails the command after the
// others were printed.
int Decode(const std::vector<std::string>& files) {
    int status = 0;
    for (const std::string& file : files) {
        DecodedInstructions decoded;
        if (!ReadInstructionFile(file, decoded)) {
            PrintCliError(GetLastMessage());
            status = 1;
            continue;
        }
        std::printf("%s\n", FormatString(IDS_CLI_DECODE_FORM, file.c_str(),
                                         ResString(decoded.scrambled ? IDS_CLI_DECODE_SCRAMBLED
                                                                     : IDS_CLI_DECODE_TEXT),
                                         static_cast<int>(decoded.lines.size()))
                                .c_str());
        for (const std::string& line : decoded.lines) {
            std::printf("%s\n", line.c_str());
        }
    }
    return status;
}

}  // namespace

void AddRunCommands(CLI::App& app) {
    static RunOptions run;
    CLI::App* runCommand = app.add_subcommand("run", ResString(IDS_CLI_RUN_HELP));
    runCommand->fallthrough();
    runCommand->add_option("agent", run.agent, ResString(IDS_CLI_AGENT_ARG_HELP))->required();
    runCommand->add_flag("--map", run.map, ResString(IDS_CLI_RUN_MAP_HELP));
    runCommand->add_flag("--log", run.log, ResString(IDS_CLI_RUN_LOG_HELP));
    runCommand->add_flag("--embed", run.embed, ResString(IDS_CLI_RUN_EMBED_HELP));
    runCommand->add_flag("--timings", run.timings, ResString(IDS_CLI_RUN_TIMINGS_HELP));
    runCommand->callback([] { SetExitStatus(Run(run)); });

    static std::string estimateAgent;
    static bool json = false;
    CLI::App* estimate = app.add_subcommand("estimate", ResString(IDS_CLI_ESTIMATE_HELP));
    estimate->fallthrough();
    estimate->add_option("agent", estimateAgent, ResString(IDS_CLI_AGENT_ARG_HELP))->required();
    estimate->add_flag("--json", json, ResString(IDS_CLI_ESTIMATE_JSON_HELP));
    estimate->callback([] { SetExitStatus(Estimate(estimateAgent, json)); });

    static std::vector<std::string> decodeFiles;
    CLI::App* decode = app.add_subcommand("decode", ResString(IDS_CLI_DECODE_HELP));
    decode->add_option("files", decodeFiles, ResString(IDS_CLI_DECODE_FILES_HELP))->required();
    decode->callback([] { SetExitStatus(Decode(decodeFiles)); });
}
