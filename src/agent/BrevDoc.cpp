#include "agent/BrevDoc.h"

#include <unistd.h>

#include <algorithm>

#include "agent/RuntimeFiles.h"
#include "agent/SettingsStore.h"
#include "agent/UserPrompt.h"
#include "base/LastMessage.h"
#include "hive/HiveFile.h"
#include "res/StringTable.h"
#include "sitemap/SiteMap.h"

bool IsAgentCommandEnabled(int command, const CAgentSettings* current, int selectedCount) {
    switch (command) {
        case kCmdAddAgent:
        case kCmdOptions:
        case kCmdAddIfEmpty:
            return true;
        case kCmdRemoveAgent:
            return selectedCount > 0;
        case kCmdRunAgent:
        case kCmdAnalyzeAndEmbed:
        case kCmdProperties:
            return current != nullptr;
        default:
            return false;
    }
}

CBrevDoc::CBrevDoc(CUserPrompt& prompt) : m_prompt(prompt) {}

CBrevDoc::~CBrevDoc() {
    if (m_list)
        Close();
}

bool CBrevDoc::Open(const std::string& workDir) {
    m_list = std::make_unique<CAgentList>();
    m_stored.clear();
    const bool readable = UserHive().Refresh();
    LoadAppValues(*m_list);
    if (!readable) {
        return false;
    }
    if (!workDir.empty()) {
        m_list->SetWorkDir(workDir);
    } else if (m_list->GetWorkDir() == DefaultWorkDir()) {
        CreatePrivateDirectories(m_list->GetWorkDir());
    }
    // The runs take the applet's files from the working directory: it gets those it lacks. A
    // failure shows later, when a run misses the file.
    SeedWorkDir(m_list->GetWorkDir(), FindRuntimeDir());

    StringList keys;
    ListAgentKeys(keys);
    for (const std::string& name : keys) {
        CAgentSettings agent;
        agent.AgentKey = name;
        LoadAgent(agent);
        CAgentSettings* entry = m_list->AddCopy(agent);
        // A statistics file that cannot be read is not reported: the agent starts afresh (and
        // the file stays as it is until a run replaces it).
        LoadStatistics(*entry, m_list->GetWorkDir());
        Remember(*entry);
    }
    RemoveOrphanStatistics(*m_list);
    return true;
}

bool CBrevDoc::Close() {
    if (!m_list)
        return true;
    bool ok = true;
    // Every change reaches the settings file in one write, after the statistics files.
    CHiveBatch batch(UserHive());
    for (int i = 0; i < m_list->GetCount(); ++i) {
        bool statisticsSaved = true;
        if (!SaveAgentState(*m_list->GetAt(i), true, &statisticsSaved))
            ok = false;
        if (!statisticsSaved)
            m_prompt.ShowMessage(GetLastMessage());
    }
    if (!batch.End()) {
        ok = false;
    }
    m_list.reset();
    m_stored.clear();
    return ok;
}

std::string CBrevDoc::GraphDigest(CAgentSettings& agent) {
    if (!agent.SiteMap)
        return std::string();
    const CSiteMap& map = *agent.SiteMap;
    return StatisticsDigest(agent.SiteMap->Serialize() + '\n' + map.LastLogFile + '\n' +
                            std::to_string(map.LastLogPosition) + ' ' +
                            std::to_string(map.LastLogNumber) + ' ' +
                            (map.ResumeStateLost ? "lost" : "kept"));
}

void CBrevDoc::Remember(CAgentSettings& agent) {
    m_stored[agent.AgentKey] = Stored{StoredAgentValues(agent), GraphDigest(agent)};
}

bool CBrevDoc::SaveAgentState(CAgentSettings& agent, bool statistics, bool* statisticsSaved) {
    bool statisticsOk = true;
    Stored& stored = m_stored[agent.AgentKey];
    CHiveBatch batch(UserHive());
    const bool saved = SaveChangedValues(agent, stored.values);
    if (statistics && m_list) {
        const std::string digest = GraphDigest(agent);
        if (digest != stored.graph) {
            std::string note;
            statisticsOk = SaveStatistics(agent, m_list->GetWorkDir(), &note);
            if (!note.empty())
                m_prompt.ShowMessage(note);
            if (statisticsOk)
                stored.graph = digest;
        }
    }
    const bool ended = batch.End();
    if (saved && ended)
        stored.values = StoredAgentValues(agent);
    if (statisticsSaved != nullptr)
        *statisticsSaved = statisticsOk;
    return saved && ended && statisticsOk;
}

std::unique_ptr<CRunLock> CBrevDoc::LockForRun(CAgentSettings& agent) {
    if (!m_list)
        return nullptr;
    std::unique_ptr<CRunLock> lock =
        CRunLock::Acquire(StatisticsFileName(m_list->GetWorkDir(), agent.AgentKey), agent.AgentKey);
    if (!lock)
        return nullptr;
    Stored& stored = m_stored[agent.AgentKey];
    StringList keys;
    if (StoredAgentValues(agent) == stored.values && ListAgentKeys(keys) &&
        std::find(keys.begin(), keys.end(), agent.AgentKey) != keys.end()) {
        LoadAgent(agent);
        stored.values = StoredAgentValues(agent);
    }
    if (GraphDigest(agent) == stored.graph) {
        LoadStatistics(agent, m_list->GetWorkDir());
        stored.graph = GraphDigest(agent);
    }
    return lock;
}

std::string CBrevDoc::Title(const CAgentSettings* current) {
    if (current == nullptr || current->Description.empty())
        return ResString(IDS_DOC_TITLE);
    return current->Description;
}

CAgentSettings* CBrevDoc::AddAgent(const CAgentSettings& agent) {
    if (!m_list)
        return nullptr;
    CAgentSettings keyed;
    keyed.AssignSettings(agent);
    if (!AssignAgentKey(keyed))
        return nullptr;
    CAgentSettings* entry = m_list->AddCopy(keyed);
    Remember(*entry);
    return entry;
}

bool CBrevDoc::ApplyProperties(CAgentSettings& agent, const CAgentSettings& edited) {
    const std::string key = agent.AgentKey;
    agent.AssignSettings(edited);
    agent.AgentKey = key;
    Stored& stored = m_stored[key];
    if (!SaveChangedValues(agent, stored.values))
        return false;
    stored.values = StoredAgentValues(agent);
    return true;
}

int CBrevDoc::RemoveAgents(const CAgentSettings* current,
                           const std::function<bool(const CAgentSettings&)>& isSelected,
                           bool* stored) {
    if (stored != nullptr)
        *stored = true;
    if (current == nullptr || !m_list)
        return 0;
    if (!m_prompt.AskYesNo(FormatString(IDS_CONFIRM_REMOVE, current->Description.c_str()),
                           ResString(IDS_APP_TITLE))) {
        return 0;
    }
    int removed = 0;
    bool deleted = true;
    StringList freed;
    CHiveBatch batch(UserHive());
    for (int i = 0; i < m_list->GetCount();) {
        CAgentSettings* agent = m_list->GetAt(i);
        if (isSelected(*agent)) {
            deleted = DeleteAgent(*agent) && deleted;
            freed.push_back(agent->AgentKey);
            m_stored.erase(agent->AgentKey);
            m_list->Remove(agent);
            ++removed;
        } else {
            ++i;
        }
    }
    deleted = batch.End() && deleted;
    if (deleted) {
        // The key is free again: a new agent that gets it must start without these statistics.
        for (const std::string& key : freed) {
            ::unlink(StatisticsFileName(m_list->GetWorkDir(), key).c_str());
        }
    }
    if (stored != nullptr)
        *stored = deleted;
    return removed;
}

bool CBrevDoc::ApplyOptions(const std::string& workDir,
                            const std::array<std::string, kSuffixTypeCount>& suffixLists) {
    if (!m_list)
        return false;
    const bool workDirChanged = workDir != m_list->GetWorkDir();
    if (workDirChanged) {
        m_list->SetWorkDir(workDir);
        // The statistics live in the working directory: each agent's goes to the new one at
        // its next save, and is not read back from there before.
        for (auto& [key, stored] : m_stored)
            stored.graph = "moved";
    }
    SeedWorkDir(workDir, FindRuntimeDir());
    std::array<bool, kSuffixTypeCount> changed{};
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        const std::string& list = suffixLists[static_cast<std::size_t>(i)];
        changed[static_cast<std::size_t>(i)] = list != m_list->GetSuffixList(i);
        m_list->SetSuffixList(i, list);
    }
    return SaveAppValues(*m_list, workDirChanged, changed);
}
