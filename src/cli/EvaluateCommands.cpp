// tarvik evaluate: replays access logs against an agent's prefetch plan and prints how many next
// clicks it would have served and at what cost, beside the best lists of the same lengths and the
// pages' links in document order; optionally after learning from the first part of the logs,
// and over a sweep of the limits. Reads the settings and the agent's statistics, writes nothing
// of the agent's (only the chart the user names).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "agent/AgentFields.h"
#include "agent/AgentList.h"
#include "agent/AgentSettings.h"
#include "agent/SettingsStore.h"
#include "base/LastMessage.h"
#include "cli/CliPrompt.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/TerminalSink.h"
#include "cli/TimingSink.h"
#include "log/LogReader.h"
#include "processing/AgentEvaluation.h"
#include "res/StringTable.h"
#include "site/AtomicFile.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr int kPagesShown = 20;

struct EvaluateCliOptions {
    std::string agent;
    std::string logs;
    std::string format;
    std::string from;
    std::string to;
    std::string split;
    std::vector<std::string> sweep;
    std::string chart;
    bool json = false;
    bool timings = false;
};

// "pages=1,2,off" or "kb=16,64": the numbers (off: -1) into pages or kb; false when malformed.
bool ParseSweep(const std::string& text, std::vector<int32_t>& pages, std::vector<int32_t>& kb) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    const std::string name = text.substr(0, eq);
    std::vector<int32_t>* into = name == "pages" ? &pages : name == "kb" ? &kb : nullptr;
    if (into == nullptr || eq + 1 == text.size()) {
        return false;
    }
    std::size_t start = eq + 1;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item == "off") {
            into->push_back(-1);
        } else {
            int value = 0;
            int used = 0;
            if (item.empty() || item[0] == '-' || item[0] == '+' ||
                std::sscanf(item.c_str(), "%9d%n", &value, &used) != 1 ||
                static_cast<std::size_t>(used) != item.size()) {
                return false;
            }
            into->push_back(value);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

std::string Percent(double ratio) {
    return FormatText("%.1f%%", ratio * 100.0);
}

std::string Limit(int32_t value) {
    return value < 0 ? std::string(ResString(IDS_CLI_EVAL_OFF)) : std::to_string(value);
}

// The figure columns of one plan.
std::vector<std::string> Figures(const PlanScore& s) {
    return {Percent(s.Coverage()), Percent(s.FileCoverage()),
            FormatText("%.1f", s.BytesPerView() / 1024.0), Percent(s.Precision()),
            FormatText("%.2f", s.SavedPerClick())};
}

void PrintTable(const std::vector<std::vector<std::string>>& table) {
    std::vector<std::size_t> widths;
    for (const auto& line : table) {
        widths.resize(std::max(widths.size(), line.size()), 0);
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    for (const auto& line : table) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) {
                text.append(widths[i] - line[i].size() + 2, ' ');
            }
        }
        std::printf("%s\n", text.c_str());
    }
}

std::vector<std::string> FigureHeadings() {
    return {ResString(IDS_CLI_EVAL_COVERAGE), ResString(IDS_CLI_EVAL_FILES),
            ResString(IDS_CLI_EVAL_KB_VIEW), ResString(IDS_CLI_EVAL_PRECISION),
            ResString(IDS_CLI_EVAL_SAVED)};
}

// Three lines, one per plan, the first named name.
void AddPlanRows(std::vector<std::vector<std::string>>& table, const std::string& name,
                 const PlanFigures& f) {
    const std::pair<int, const PlanScore*> plans[] = {{IDS_CLI_EVAL_AGENT_PLAN, &f.agent},
                                                      {IDS_CLI_EVAL_CEILING, &f.ceiling},
                                                      {IDS_CLI_EVAL_LINK_ORDER, &f.linkOrder}};
    bool first = true;
    for (const auto& [plan, score] : plans) {
        std::vector<std::string> line = {
            first ? name : std::string(), ResString(plan),
            first ? std::to_string(score->views) : std::string(),
            first ? std::to_string(score->transitions) : std::string()};
        for (std::string& figure : Figures(*score)) {
            line.push_back(std::move(figure));
        }
        table.push_back(std::move(line));
        first = false;
    }
}

void PrintText(const EvaluationResult& r) {
    std::printf("%s\n", FormatString(IDS_CLI_EVAL_SUMMARY, static_cast<long long>(r.records),
                                     static_cast<long long>(r.site.agent.views),
                                     static_cast<long long>(r.site.agent.transitions),
                                     static_cast<long long>(r.botRecords),
                                     static_cast<long long>(r.botClients))
                            .c_str());
    if (r.split > 0) {
        std::printf("%s\n",
                    FormatString(IDS_CLI_EVAL_LEARNT, FormatLocalTime(r.learnFrom + 1).c_str(),
                                 FormatLocalTime(r.learnTo).c_str(), r.split)
                        .c_str());
    }
    std::vector<std::string> heading = {ResString(IDS_CLI_EVAL_PAGE), ResString(IDS_CLI_EVAL_PLAN),
                                        ResString(IDS_CLI_EVAL_VIEWS),
                                        ResString(IDS_CLI_EVAL_TRANSITIONS)};
    for (std::string& h : FigureHeadings()) {
        heading.push_back(std::move(h));
    }
    std::printf("\n");
    std::vector<std::vector<std::string>> site = {heading};
    AddPlanRows(site, ResString(IDS_CLI_EVAL_SITE), r.site);
    PrintTable(site);

    const int shown = std::min<int>(kPagesShown, static_cast<int>(r.pages.size()));
    std::printf(
        "\n%s\n",
        FormatString(IDS_CLI_EVAL_PAGES_SHOWN, shown, static_cast<int>(r.pages.size())).c_str());
    std::vector<std::vector<std::string>> pages = {heading};
    for (int i = 0; i < shown; ++i) {
        AddPlanRows(pages, r.pages[static_cast<std::size_t>(i)].name,
                    r.pages[static_cast<std::size_t>(i)].figures);
    }
    PrintTable(pages);

    if (!r.sweep.empty()) {
        std::printf("\n%s\n", ResString(IDS_CLI_EVAL_SWEEP_TITLE));
        std::vector<std::string> head = {ResString(IDS_CLI_EVAL_PAGE_LIMIT),
                                         ResString(IDS_CLI_EVAL_KB_LIMIT)};
        for (std::string& h : FigureHeadings()) {
            head.push_back(std::move(h));
        }
        std::vector<std::vector<std::string>> table = {head};
        for (const SweepPoint& point : r.sweep) {
            std::vector<std::string> line = {Limit(point.pageLimit), Limit(point.kbLimit)};
            for (std::string& figure : Figures(point.score)) {
                line.push_back(std::move(figure));
            }
            table.push_back(std::move(line));
        }
        PrintTable(table);
    }
}

std::string JsonScore(const PlanScore& s) {
    return FormatText(
        "{\"hits\": %lld, \"coverage\": %.6g, \"filesNeeded\": %lld, \"filesListed\": %lld, "
        "\"fileCoverage\": %.6g, \"bytesPrefetched\": %lld, \"bytesPerView\": %.6g, "
        "\"bytesUsed\": %lld, \"precision\": %.6g, \"savedSeconds\": %.6g, "
        "\"savedSecondsPerTransition\": %.6g}",
        static_cast<long long>(s.hits), s.Coverage(), static_cast<long long>(s.filesNeeded),
        static_cast<long long>(s.filesListed), s.FileCoverage(),
        static_cast<long long>(s.bytesPrefetched), s.BytesPerView(),
        static_cast<long long>(s.bytesUsed), s.Precision(), s.SavedSeconds(), s.SavedPerClick());
}

std::string JsonFigures(const PlanFigures& f) {
    return FormatText(
        "\"views\": %lld, \"transitions\": %lld, \"agent\": %s, \"ceiling\": %s, "
        "\"linkOrder\": %s",
        static_cast<long long>(f.agent.views), static_cast<long long>(f.agent.transitions),
        JsonScore(f.agent).c_str(), JsonScore(f.ceiling).c_str(), JsonScore(f.linkOrder).c_str());
}

std::string JsonTime(time_t t) {
    return t >= kLatestLogTime ? std::string("null") : JsonString(FormatLocalTime(t));
}

std::string JsonLimit(int32_t v) {
    return v < 0 ? std::string("null") : std::to_string(v);
}

void PrintJson(const EvaluationResult& r) {
    std::printf(
        "{\n  \"replay\": {\"after\": %s, \"until\": %s, \"records\": %lld, "
        "\"botRecords\": %lld, \"botClients\": %lld",
        JsonTime(r.replayFrom).c_str(), JsonTime(r.replayTo).c_str(),
        static_cast<long long>(r.records), static_cast<long long>(r.botRecords),
        static_cast<long long>(r.botClients));
    if (r.split > 0) {
        std::printf(", \"split\": %d, \"learntAfter\": %s, \"learntUntil\": %s", r.split,
                    JsonTime(r.learnFrom).c_str(), JsonTime(r.learnTo).c_str());
    }
    std::printf("},\n  \"site\": {%s},\n  \"pages\": [", JsonFigures(r.site).c_str());
    for (std::size_t i = 0; i < r.pages.size(); ++i) {
        std::printf("%s\n    {\"name\": %s, %s}", i ? "," : "", JsonString(r.pages[i].name).c_str(),
                    JsonFigures(r.pages[i].figures).c_str());
    }
    std::printf("\n  ],\n  \"sweep\": [");
    for (std::size_t i = 0; i < r.sweep.size(); ++i) {
        const SweepPoint& p = r.sweep[i];
        std::printf("%s\n    {\"pageLimit\": %s, \"kbLimit\": %s, \"score\": %s}", i ? "," : "",
                    JsonLimit(p.pageLimit).c_str(), JsonLimit(p.kbLimit).c_str(),
                    JsonScore(p.score).c_str());
    }
    std::printf("\n  ]\n}\n");
}

std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Coverage (up) against kilobytes per page view (right): the three plans as labelled dots, the
// sweep as one line per page limit through its size limits.
std::string ChartSvg(const EvaluationResult& r) {
    constexpr double kWidth = 640, kHeight = 420, kLeft = 60, kRight = 150, kTop = 40, kBottom = 50;
    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    double maxKb = 1.0;
    auto note = [&](const PlanScore& s) { maxKb = std::max(maxKb, s.BytesPerView() / 1024.0); };
    note(r.site.agent);
    note(r.site.ceiling);
    note(r.site.linkOrder);
    for (const SweepPoint& p : r.sweep)
        note(p.score);
    // A round top for the axis: 1, 2 or 5 times a power of ten.
    double step = std::pow(10.0, std::floor(std::log10(maxKb)));
    double top = step;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * step >= maxKb) {
            top = m * step;
            break;
        }
    }
    auto x = [&](const PlanScore& s) { return kLeft + s.BytesPerView() / 1024.0 / top * plotW; };
    auto y = [&](const PlanScore& s) { return kTop + plotH - s.Coverage() * plotH; };

    std::string svg = FormatText(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
        "font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%%\" height=\"100%%\" "
        "fill=\"white\"/>\n<text x=\"%.0f\" y=\"24\" font-size=\"14\">%s</text>\n",
        kWidth, kHeight, kLeft, XmlText(ResString(IDS_CLI_EVAL_CHART_TITLE)).c_str());
    for (int i = 0; i <= 4; ++i) {
        const double gy = kTop + plotH - plotH * i / 4;
        const double gx = kLeft + plotW * i / 4;
        svg += FormatText(
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>"
            "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%d%%</text>\n",
            kLeft, gy, kLeft + plotW, gy, kLeft - 6, gy + 4, i * 25);
        svg += FormatText(
            "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>"
            "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%g</text>\n",
            gx, kTop, gx, kTop + plotH, gx, kTop + plotH + 16, top * i / 4);
    }
    svg += FormatText(
        "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
        "stroke=\"black\"/>\n",
        kLeft, kTop, plotW, plotH);
    svg += FormatText("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
                      kLeft + plotW / 2, kHeight - 12,
                      XmlText(ResString(IDS_CLI_EVAL_CHART_X)).c_str());
    svg += FormatText(
        "<text transform=\"translate(16 %.1f) rotate(-90)\" "
        "text-anchor=\"middle\">%s</text>\n",
        kTop + plotH / 2, XmlText(ResString(IDS_CLI_EVAL_CHART_Y)).c_str());
    // The sweep: one polyline per page limit, in the order the size limits were given.
    std::vector<int32_t> limits;
    for (const SweepPoint& p : r.sweep) {
        if (std::find(limits.begin(), limits.end(), p.pageLimit) == limits.end()) {
            limits.push_back(p.pageLimit);
        }
    }
    for (int32_t limit : limits) {
        std::string points;
        for (const SweepPoint& p : r.sweep) {
            if (p.pageLimit == limit) {
                points += FormatText("%.1f,%.1f ", x(p.score), y(p.score));
                svg += FormatText(
                    "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2.5\" fill=\"#888\"/>"
                    "<text x=\"%.1f\" y=\"%.1f\" font-size=\"9\" "
                    "fill=\"#555\">%s/%s</text>\n",
                    x(p.score), y(p.score), x(p.score) + 4, y(p.score) - 4,
                    XmlText(Limit(p.pageLimit)).c_str(), XmlText(Limit(p.kbLimit)).c_str());
            }
        }
        svg += "<polyline fill=\"none\" stroke=\"#888\" points=\"" + points + "\"/>\n";
    }
    const std::tuple<int, const PlanScore*, const char*> plans[] = {
        {IDS_CLI_EVAL_AGENT_PLAN, &r.site.agent, "#1f77b4"},
        {IDS_CLI_EVAL_CEILING, &r.site.ceiling, "#2ca02c"},
        {IDS_CLI_EVAL_LINK_ORDER, &r.site.linkOrder, "#d62728"}};
    int row = 0;
    for (const auto& [name, score, colour] : plans) {
        svg += FormatText("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5\" fill=\"%s\"/>\n", x(*score),
                          y(*score), colour);
        const double ly = kTop + 10 + 18 * row++;
        svg += FormatText(
            "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5\" fill=\"%s\"/>"
            "<text x=\"%.1f\" y=\"%.1f\">%s</text>\n",
            kLeft + plotW + 16, ly, colour, kLeft + plotW + 26, ly + 4,
            XmlText(ResString(name)).c_str());
    }
    return svg + "</svg>\n";
}

int Evaluate(const EvaluateCliOptions& o) {
    EvaluateOptions options;
    options.pattern = o.logs;
    if (!o.format.empty()) {
        options.format = IndexOf(kLogFormatTexts, o.format);
        if (options.format < 0) {
            PrintCliError(
                FormatString(IDS_CLI_LOGS_BAD_FORMAT, o.format.c_str(),
                             Choices(kLogFormatTexts, EnumCount(kLogFormatTexts)).c_str()));
            return kExitUsage;
        }
    }
    for (const auto& [text, time] : {std::pair{&o.from, &options.from}, {&o.to, &options.to}}) {
        if (!text->empty() && !ParseLocalTime(*text, time)) {
            PrintCliError(FormatString(IDS_CLI_LOGS_BAD_TIME, text->c_str()));
            return kExitUsage;
        }
    }
    if (!o.from.empty() && !o.to.empty() && options.from > options.to) {
        PrintCliError(FormatString(IDS_CLI_LOGS_REVERSED_RANGE, o.from.c_str(), o.to.c_str()));
        return kExitUsage;
    }
    if (!o.split.empty()) {
        int used = 0;
        if (std::sscanf(o.split.c_str(), "%3d%n", &options.split, &used) != 1 ||
            static_cast<std::size_t>(used) != o.split.size() || options.split < 1 ||
            options.split > 99) {
            PrintCliError(FormatString(IDS_CLI_EVAL_BAD_SPLIT, o.split.c_str()));
            return kExitUsage;
        }
    }
    for (const std::string& item : o.sweep) {
        if (!ParseSweep(item, options.sweepPages, options.sweepKb)) {
            PrintCliError(FormatString(IDS_CLI_EVAL_BAD_SWEEP, item.c_str()));
            return kExitUsage;
        }
    }

    CAgentList list;
    if (!ReadAgentDocument(list)) {
        return kExitFailed;
    }
    CAgentSettings* agent = FindAgent(list, o.agent);
    if (agent == nullptr) {
        return kExitFailed;
    }
    // A statistics file that cannot be read leaves an empty graph, which evaluation reports.
    LoadStatistics(*agent, list.GetWorkDir());

    CTerminalSink terminal(stderr);
    CTimingSink timing(&terminal);
    CProgressSink* sink = o.timings ? static_cast<CProgressSink*>(&timing) : &terminal;
    CTerminalSink::InstallInterruptHandler(&terminal);
    const auto started = std::chrono::steady_clock::now();
    EvaluationResult result;
    const bool ok = EvaluateAgent(list, *agent, options, sink, result);
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    terminal.Finish();
    const bool interrupted = terminal.IsStopped() || CTerminalSink::WasInterrupted();
    CTerminalSink::InstallInterruptHandler(nullptr);
    if (o.timings) {
        PrintPhaseTimings(timing, total);
    }
    if (!ok) {
        PrintCliError(GetLastMessage());
        return interrupted ? kExitInterrupted : kExitFailed;
    }
    if (o.json) {
        PrintJson(result);
    } else {
        PrintText(result);
    }
    std::fflush(stdout);
    if (!o.chart.empty() && !CAtomicFile::Replace(o.chart, ChartSvg(result))) {
        PrintCliError(FormatString(IDS_COULD_NOT_WRITE_FILE, o.chart.c_str()));
        return kExitFailed;
    }
    return 0;
}

}  // namespace

void AddEvaluateCommands(CLI::App& app) {
    static EvaluateCliOptions o;
    CLI::App* evaluate = app.add_subcommand("evaluate", ResString(IDS_CLI_EVAL_HELP));
    evaluate->fallthrough();
    evaluate->add_option("agent", o.agent, ResString(IDS_CLI_AGENT_ARG_HELP))->required();
    evaluate->add_option("--logs", o.logs, ResString(IDS_CLI_EVAL_LOGS_HELP))->required();
    evaluate->add_option("--format", o.format, ResString(IDS_CLI_EVAL_FORMAT_HELP));
    evaluate->add_option("--from", o.from, ResString(IDS_CLI_EVAL_FROM_HELP));
    evaluate->add_option("--to", o.to, ResString(IDS_CLI_EVAL_TO_HELP));
    evaluate->add_option("--split", o.split, ResString(IDS_CLI_EVAL_SPLIT_HELP))->type_name("P");
    evaluate->add_option("--sweep", o.sweep, ResString(IDS_CLI_EVAL_SWEEP_HELP))
        ->expected(1, 2)
        ->type_name("pages=N,...|kb=N,...");
    evaluate->add_flag("--json", o.json, ResString(IDS_CLI_EVAL_JSON_HELP));
    evaluate->add_option("--chart", o.chart, ResString(IDS_CLI_EVAL_CHART_HELP))
        ->type_name("FILE.svg");
    evaluate->add_flag("--timings", o.timings, ResString(IDS_CLI_EVAL_TIMINGS_HELP));
    evaluate->callback([] { SetExitStatus(Evaluate(o)); });
}
