// tarvik logs: the log phase on its own. Reads access logs into a page graph (a local site's, or
// one built from the logs alone) and prints what it learnt.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "agent/AgentSettings.h"
#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "cli/CliPrompt.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/TerminalSink.h"
#include "log/LogAnalyzer.h"
#include "res/StringTable.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"
#include "sitemap/SiteMapAnalyzer.h"
#include "synthesis/DeployedLoader.h"

namespace {

struct LogsOptions {
    std::string pattern;
    std::string format = kLogFormatTexts[kLogAutoDetect];
    std::string range = kStatRangeTexts[kRangeAll];
    std::string from;
    std::string to;
    std::string site;
    std::string home = CAgentSettings(0).HomePage;
    std::string domain;
    std::string weight = kStatWeightTexts[CAgentSettings(0).StatWeight];
    std::string save;
};

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// A name from a log as it may be printed: control characters (which could move the cursor or
// recolour a terminal, or break the tab-separated columns) are shown as \xNN.
std::string Printable(const std::string& name) {
    std::string text;
    text.reserve(name.size());
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void PrintGraph(const CSiteMap& map, const CLogAnalyzer& analyzer) {
    std::printf(ResString(IDS_CLI_LOGS_HITS), static_cast<long long>(analyzer.TotalHits()),
                static_cast<long long>(analyzer.VisitHits()), map.HitCount, map.PageCount(),
                map.FileCount());
    std::fputs(ResString(IDS_CLI_LOGS_TRANSITIONS), stdout);
    std::vector<const CPageLink*> links;
    for (const auto& page : map.Pages()) {
        links.clear();
        for (const auto& link : page->Links) {
            if (link->Weight > 0.0) {
                links.push_back(link.get());
            }
        }
        // Heaviest first; the graph itself keeps its order.
        std::stable_sort(links.begin(), links.end(), [](const CPageLink* a, const CPageLink* b) {
            return a->Weight > b->Weight;
        });
        for (const CPageLink* link : links) {
            std::printf("%s\t%s\t%.4f\n", Printable(page->Name).c_str(),
                        Printable(link->Target->Name).c_str(), link->Weight);
        }
    }
    std::fputs(ResString(IDS_CLI_LOGS_TIMINGS), stdout);
    for (const auto& page : map.Pages()) {
        if (page->ViewSamples > 0) {
            std::printf("%s\t%d\t%d\t%d\n", Printable(page->Name).c_str(), page->ViewSamples,
                        page->AverageLoadTime(), page->AverageIdleTime());
        }
    }
}

int RunLogs(const LogsOptions& options) {
    int format = IndexOf(kLogFormatTexts, options.format);
    if (format < 0) {
        PrintCliError(FormatString(IDS_CLI_LOGS_BAD_FORMAT, options.format.c_str(),
                                   Choices(kLogFormatTexts, EnumCount(kLogFormatTexts)).c_str()));
        return kExitUsage;
    }
    int weight = IndexOf(kStatWeightTexts, options.weight);
    if (weight < 0) {
        PrintCliError(FormatString(IDS_CLI_LOGS_BAD_WEIGHT, options.weight.c_str(),
                                   Choices(kStatWeightTexts, EnumCount(kStatWeightTexts)).c_str()));
        return kExitUsage;
    }
    time_t start = 0;
    time_t end = 0;
    if (!options.from.empty()) {
        for (const std::string* text : {&options.from, &options.to}) {
            if (!ParseLocalTime(*text, text == &options.from ? &start : &end)) {
                PrintCliError(FormatString(IDS_CLI_LOGS_BAD_TIME, text->c_str()));
                return kExitUsage;
            }
        }
        if (start > end) {
            PrintCliError(FormatString(IDS_CLI_LOGS_REVERSED_RANGE, options.from.c_str(),
                                       options.to.c_str()));
            return kExitUsage;
        }
    } else {
        CAgentSettings settings(0);
        settings.StatRange = IndexOf(kStatRangeTexts, options.range);
        if (settings.StatRange == kRangeSpecify) {
            PrintCliError(FormatString(IDS_CLI_LOGS_SPECIFY_RANGE, options.range.c_str()));
            return kExitUsage;
        }
        if (settings.StatRange < 0) {
            PrintCliError(FormatString(IDS_CLI_LOGS_BAD_RANGE, options.range.c_str(),
                                       Choices(kStatRangeTexts, kRangeSpecify).c_str()));
            return kExitUsage;
        }
        settings.GetTimeRange(time(nullptr), &start, &end);
    }

    CSiteMap map(options.home);
    if (!options.site.empty()) {
        std::string root = options.site;
        NormalizeLocalPath(root, false);
        if (!IsDirectory(root)) {
            PrintCliError(FormatString(IDS_CLI_LOGS_NO_SITE, options.site.c_str()));
            return kExitUsage;
        }
        map.SetAccess(std::make_unique<CLocalSiteAccess>(root));
    }
    map.SetDecay(kLogDecayPeriod, DecayFactorOf(weight));

    std::unique_ptr<CTerminalSink> sink;
    if (isatty(fileno(stderr))) {
        sink = std::make_unique<CTerminalSink>(stderr);
        CTerminalSink::InstallInterruptHandler(sink.get());
        sink->SetTitle(ResString(options.site.empty() ? IDS_ANALYZING_LOGS : IDS_ANALYZING_SITE));
    }
    if (!options.site.empty()) {
        // The site's own structure first, as a run does: its pages, static links and images.
        if (sink)
            sink->SetTitle(ResString(IDS_ANALYZING_SITE));
        bool mapped = RunSiteMapAnalysis(map, options.domain, sink.get());
        if (!mapped) {
            bool stopped = sink && sink->IsStopped();
            if (sink) {
                sink->Finish();
                CTerminalSink::InstallInterruptHandler(nullptr);
            }
            PrintCliError(GetLastMessage());
            return stopped ? kExitInterrupted : kExitFailed;
        }
        if (sink)
            sink->SetTitle(ResString(IDS_ANALYZING_LOGS));
    }
    CLogAnalyzer analyzer(map, options.domain, start, end, sink.get());
    // A local site that carries the loader in the default agent directory: its own requests
    // are not visits.
    CLoaderDirectory loader;
    if (!options.site.empty()) {
        const CAgentSettings defaults(0);
        loader = ReadDeployedLoader(map, defaults.FilesDirectory, false);
        analyzer.SetLoader(&loader, defaults.LoaderWorkingTime);
    }
    std::string lastFile;
    int32_t lastNumber = -1;
    int64_t position = -1;
    bool ok = analyzer.AnalyzeLogFiles(options.pattern, format, lastFile, lastNumber, position);
    bool interrupted = sink && sink->IsStopped();
    if (sink) {
        sink->Finish();
        CTerminalSink::InstallInterruptHandler(nullptr);
    }
    if (!ok) {
        PrintCliError(GetLastMessage());
        return interrupted ? kExitInterrupted : kExitFailed;
    }
    PrintGraph(map, analyzer);
    std::fflush(stdout);
    if (!options.save.empty()) {
        if (!map.Save(options.save)) {
            PrintCliError(FormatString(IDS_COULD_NOT_WRITE_FILE, options.save.c_str()));
            return kExitFailed;
        }
    }
    return 0;
}

}  // namespace

void AddLogCommands(CLI::App& app) {
    auto options = std::make_shared<LogsOptions>();
    CLI::App* logs = app.add_subcommand("logs", ResString(IDS_CLI_LOGS_HELP));
    logs->add_option("PATTERN", options->pattern, ResString(IDS_CLI_LOGS_PATTERN_HELP))->required();
    logs->add_option("--format", options->format, ResString(IDS_CLI_LOGS_FORMAT_HELP));
    CLI::Option* range =
        logs->add_option("--range", options->range, ResString(IDS_CLI_LOGS_RANGE_HELP));
    CLI::Option* from =
        logs->add_option("--from", options->from, ResString(IDS_CLI_LOGS_FROM_HELP));
    CLI::Option* to = logs->add_option("--to", options->to, ResString(IDS_CLI_LOGS_TO_HELP));
    from->needs(to);
    to->needs(from);
    range->excludes(from)->excludes(to);
    logs->add_option("--site", options->site, ResString(IDS_CLI_LOGS_SITE_HELP));
    logs->add_option("--home", options->home, ResString(IDS_CLI_LOGS_HOME_HELP));
    logs->add_option("--domain", options->domain, ResString(IDS_CLI_LOGS_DOMAIN_HELP));
    logs->add_option("--weight", options->weight, ResString(IDS_CLI_LOGS_WEIGHT_HELP));
    logs->add_option("--save", options->save, ResString(IDS_CLI_LOGS_SAVE_HELP));
    logs->callback([options] { SetExitStatus(RunLogs(*options)); });
}
