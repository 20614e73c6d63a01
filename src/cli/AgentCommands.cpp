// The agent commands of the tarvik command (list, show, add, set, remove, options) and the
// global options that choose the settings file and the working directory. Every command opens
// the agent list the way the program starts and closes it the way the program ends.

#include <cstdio>
#include <string>
#include <vector>

#include "agent/AgentChecks.h"
#include "agent/AgentFields.h"
#include "agent/AgentList.h"
#include "agent/BrevDoc.h"
#include "agent/SettingsStore.h"
#include "cli/CliPrompt.h"
#include "cli/Commands.h"
#include "hive/HiveFile.h"
#include "res/StringTable.h"
#include "sitemap/SiteMap.h"

namespace {

std::string g_registryPath;
std::string g_workDir;

// Applies NAME=VALUE settings to the agent. Prints the first problem and returns false.
bool ApplySettings(const std::vector<std::string>& settings, CAgentSettings& agent) {
    for (const std::string& setting : settings) {
        const std::size_t eq = setting.find('=');
        if (eq == std::string::npos || eq == 0) {
            PrintCliError(FormatString(IDS_CLI_BAD_SETTING, setting.c_str()));
            return false;
        }
        const std::string name = setting.substr(0, eq);
        const AgentField* field = FindAgentField(name);
        if (field == nullptr) {
            PrintCliError(FormatString(IDS_CLI_UNKNOWN_SETTING, name.c_str()));
            return false;
        }
        std::string error;
        if (!ParseAgentField(*field, std::string_view(setting).substr(eq + 1), agent, error)) {
            PrintCliError(error);
            return false;
        }
    }
    return true;
}

// Normalises the paths and runs the pages' checks as the property sheet does on OK. A question
// answered No is reported with the option that would have answered Yes.
bool CheckEdited(CAgentSettings& agent, CCliPrompt& prompt) {
    NormalizeAgentPaths(agent);
    if (CheckAgentSettings(agent, prompt))
        return true;
    if (!prompt.Declined().empty()) {
        PrintCliError(FormatString(IDS_CLI_ANSWERED_NO, prompt.Declined().c_str()));
    }
    return false;
}

void ReportSettingsError() {
    const std::string& error = UserHive().LastError();
    PrintCliError(error.empty() ? ResString(IDS_CLI_SETTINGS_NOT_SAVED) : error);
}

// Characters shown, counting a UTF-8 sequence as one.
std::size_t DisplayWidth(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line.append(widths[i] - DisplayWidth(row[i]) + 2, ' ');
        }
        std::printf("%s\n", line.c_str());
    }
}

void CommandList(CBrevDoc& doc) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back({ResString(IDS_CLI_KEY_HEADING), ResString(IDS_COL_DESCRIPTION),
                    ResString(IDS_COL_DOMAIN), ResString(IDS_COL_LAST_RUN),
                    ResString(IDS_COL_SUCCEEDED)});
    const CAgentList& list = doc.Agents();
    for (int i = 0; i < list.GetCount(); ++i) {
        const CAgentSettings* agent = list.GetAt(i);
        rows.push_back(
            {agent->AgentKey,
             agent->Description.empty() ? ResString(IDS_NO_DESCRIPTION) : agent->Description,
             agent->DomainName, agent->ProcessTime,
             ResString(agent->IsProcessed ? IDS_YES : IDS_NO)});
    }
    PrintTable(rows);
}

void CommandShow(const CAgentSettings& agent) {
    std::printf("AgentKey=%s\n", agent.AgentKey.c_str());
    for (const AgentField* f = kAgentFields; f->name != nullptr; ++f) {
        std::string value = FormatAgentField(*f, agent);
        if (f->kind == AgentFieldKind::kEncoded && !value.empty()) {
            value = ResString(IDS_CLI_HIDDEN_VALUE);
        }
        std::printf("%s=%s\n", f->name, value.c_str());
    }
    if (agent.SiteMap) {
        std::printf("%s=%s\n", kLastLogFileValue, agent.SiteMap->LastLogFile.c_str());
        std::printf("%s=%lld\n", kLastLogPositionValue,
                    static_cast<long long>(agent.SiteMap->LastLogPosition));
        std::printf("%s=%d\n", kLastLogNumberValue, agent.SiteMap->LastLogNumber);
    }
}

// "HTML" or "HTML Files" (any case) to its suffix type; -1 when it names none.
int SuffixTypeOf(std::string_view name) {
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        std::string_view full = kSuffixValueNames[i];
        std::string_view shortName = full.substr(0, full.find(' '));
        if (EqualsNoCase(name, full) || EqualsNoCase(name, shortName))
            return i;
    }
    return -1;
}

// "htm, .html php" to the stored form "htm\r\nhtml\r\nphp\r\n".
std::string StoredSuffixList(std::string_view text) {
    StringList parts;
    Tokenize(text, parts, ", \t;");
    std::string stored;
    for (std::string& part : parts) {
        while (!part.empty() && part.front() == '.')
            part.erase(0, 1);
        if (part.empty())
            continue;
        stored += part;
        stored += "\r\n";
    }
    return stored;
}

std::string ShownSuffixList(std::string_view stored) {
    StringList parts;
    Tokenize(stored, parts, "\r\n");
    std::string shown;
    for (const std::string& part : parts) {
        if (!shown.empty())
            shown += ", ";
        shown += part;
    }
    return shown;
}

bool CommandOptions(CBrevDoc& doc, const std::vector<std::string>& suffixes) {
    CAgentList& list = doc.Agents();
    if (!suffixes.empty()) {
        std::array<std::string, kSuffixTypeCount> lists;
        for (int i = 0; i < kSuffixTypeCount; ++i) {
            lists[static_cast<std::size_t>(i)] = list.GetSuffixList(i);
        }
        for (const std::string& suffix : suffixes) {
            const std::size_t eq = suffix.find('=');
            const int type = eq == std::string::npos ? -1 : SuffixTypeOf(suffix.substr(0, eq));
            if (type < 0) {
                PrintCliError(FormatString(IDS_CLI_BAD_SUFFIX, suffix.c_str()));
                return false;
            }
            lists[static_cast<std::size_t>(type)] =
                StoredSuffixList(std::string_view(suffix).substr(eq + 1));
        }
        if (!doc.ApplyOptions(list.GetWorkDir(), lists)) {
            ReportSettingsError();
            return false;
        }
    }
    std::printf("%s\n", FormatString(IDS_CLI_WORKDIR_LINE, list.GetWorkDir().c_str()).c_str());
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        std::printf("%s\n", FormatString(IDS_CLI_SUFFIX_LINE, kSuffixValueNames[i],
                                         ShownSuffixList(list.GetSuffixList(i)).c_str())
                                .c_str());
    }
    return true;
}

}  // namespace

// The agent named by key, or else by a description no other agent has. Prints why not.
CAgentSettings* FindAgent(CAgentList& list, const std::string& name) {
    if (CAgentSettings* agent = list.Find(name))
        return agent;
    CAgentSettings* found = nullptr;
    int matches = 0;
    for (int i = 0; i < list.GetCount(); ++i) {
        if (list.GetAt(i)->Description == name) {
            found = list.GetAt(i);
            ++matches;
        }
    }
    if (matches == 1)
        return found;
    PrintCliError(
        FormatString(matches == 0 ? IDS_CLI_NO_AGENT : IDS_CLI_AMBIGUOUS_AGENT, name.c_str()));
    return nullptr;
}

int RunWithAgentDocument(CUserPrompt& prompt, const std::function<bool(CBrevDoc&)>& body) {
    if (!g_registryPath.empty()) {
        SetUserHivePath(g_registryPath);
    }
    CBrevDoc doc(prompt);
    if (!doc.Open(g_workDir)) {
        ReportSettingsError();
        return 1;
    }
    bool ok = body(doc);
    if (!doc.Close()) {
        if (!UserHive().LastError().empty())
            PrintCliError(UserHive().LastError());
        ok = false;
    }
    return ok ? 0 : 1;
}

bool ReadAgentDocument(CAgentList& list) {
    if (!g_registryPath.empty()) {
        SetUserHivePath(g_registryPath);
    }
    const bool readable = UserHive().Refresh();
    LoadAppValues(list);
    if (!readable) {
        ReportSettingsError();
        return false;
    }
    if (!g_workDir.empty()) {
        list.SetWorkDir(g_workDir);
    }
    StringList keys;
    ListAgentKeys(keys);
    for (const std::string& name : keys) {
        CAgentSettings agent;
        agent.AgentKey = name;
        LoadAgent(agent);
        list.AddCopy(agent);
    }
    return true;
}

void AddAgentCommands(CLI::App& app) {
    app.add_option("--registry", g_registryPath, ResString(IDS_CLI_REGISTRY_HELP))
        ->type_name("FILE");
    app.add_option("--workdir", g_workDir, ResString(IDS_CLI_WORKDIR_HELP))->type_name("DIR");

    CLI::App* list = app.add_subcommand("list", ResString(IDS_CLI_LIST_HELP));
    list->fallthrough();
    list->callback([] {
        CCliPrompt prompt;
        SetExitStatus(RunWithAgentDocument(prompt, [](CBrevDoc& doc) {
            CommandList(doc);
            return true;
        }));
    });

    static std::string agentName;
    static std::vector<std::string> settings;
    static bool createDirs = false;
    static bool assumeYes = false;
    static std::vector<std::string> suffixes;

    CLI::App* show = app.add_subcommand("show", ResString(IDS_CLI_SHOW_HELP));
    show->fallthrough();
    show->add_option("agent", agentName, ResString(IDS_CLI_AGENT_ARG_HELP))->required();
    show->callback([] {
        CCliPrompt prompt;
        SetExitStatus(RunWithAgentDocument(prompt, [](CBrevDoc& doc) {
            const CAgentSettings* agent = FindAgent(doc.Agents(), agentName);
            if (agent == nullptr)
                return false;
            CommandShow(*agent);
            return true;
        }));
    });

    CLI::App* add = app.add_subcommand("add", ResString(IDS_CLI_ADD_HELP));
    add->fallthrough();
    add->add_option("settings", settings, ResString(IDS_CLI_SETTINGS_ARG_HELP))
        ->required()
        ->expected(1, -1);
    add->add_flag("--create-dirs", createDirs, ResString(IDS_CLI_CREATE_DIRS_HELP));
    add->callback([] {
        CCliPrompt prompt(createDirs ? CCliPrompt::Answer::kYes : CCliPrompt::Answer::kNo);
        SetExitStatus(RunWithAgentDocument(prompt, [&prompt](CBrevDoc& doc) {
            CAgentSettings agent;
            if (!ApplySettings(settings, agent) || !CheckEdited(agent, prompt))
                return false;
            const CAgentSettings* added = doc.AddAgent(agent);
            if (added == nullptr) {
                ReportSettingsError();
                return false;
            }
            std::printf("%s\n", added->AgentKey.c_str());
            return true;
        }));
    });

    CLI::App* set = app.add_subcommand("set", ResString(IDS_CLI_SET_HELP));
    set->fallthrough();
    set->add_option("agent", agentName, ResString(IDS_CLI_AGENT_ARG_HELP))->required();
    set->add_option("settings", settings, ResString(IDS_CLI_SETTINGS_ARG_HELP))
        ->required()
        ->expected(1, -1);
    set->add_flag("--create-dirs", createDirs, ResString(IDS_CLI_CREATE_DIRS_HELP));
    set->callback([] {
        CCliPrompt prompt(createDirs ? CCliPrompt::Answer::kYes : CCliPrompt::Answer::kNo);
        SetExitStatus(RunWithAgentDocument(prompt, [&prompt](CBrevDoc& doc) {
            CAgentSettings* agent = FindAgent(doc.Agents(), agentName);
            if (agent == nullptr)
                return false;
            CAgentSettings edited;
            edited.AssignSettings(*agent);
            if (!ApplySettings(settings, edited) || !CheckEdited(edited, prompt))
                return false;
            if (!doc.ApplyProperties(*agent, edited)) {
                ReportSettingsError();
                return false;
            }
            return true;
        }));
    });

    CLI::App* remove = app.add_subcommand("remove", ResString(IDS_CLI_REMOVE_HELP));
    remove->fallthrough();
    remove->add_option("agent", agentName, ResString(IDS_CLI_AGENT_ARG_HELP))->required();
    remove->add_flag("--yes,-y", assumeYes, ResString(IDS_CLI_YES_HELP));
    remove->callback([] {
        CCliPrompt prompt(assumeYes ? CCliPrompt::Answer::kYes : CCliPrompt::Answer::kAsk);
        SetExitStatus(RunWithAgentDocument(prompt, [](CBrevDoc& doc) {
            CAgentSettings* agent = FindAgent(doc.Agents(), agentName);
            if (agent == nullptr)
                return false;
            const std::string key = agent->AgentKey;
            bool stored = true;
            const int removed = doc.RemoveAgents(
                agent, [agent](const CAgentSettings& a) { return &a == agent; }, &stored);
            if (removed == 0) {
                PrintCliError(FormatString(IDS_CLI_NOT_REMOVED, key.c_str()));
                return false;
            }
            if (!stored) {
                ReportSettingsError();
                return false;
            }
            return true;
        }));
    });

    CLI::App* options = app.add_subcommand("options", ResString(IDS_CLI_OPTIONS_HELP));
    options->fallthrough();
    options->add_option("--suffix", suffixes, ResString(IDS_CLI_SUFFIX_HELP))
        ->type_name("TYPE=LIST");
    options->callback([] {
        CCliPrompt prompt;
        SetExitStatus(RunWithAgentDocument(
            prompt, [](CBrevDoc& doc) { return CommandOptions(doc, suffixes); }));
    });
}
