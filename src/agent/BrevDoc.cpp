#include "agent/BrevDoc.h"

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

    StringList keys;
    ListAgentKeys(keys);
    for (const std::string& name : keys) {
        CAgentSettings agent;
        agent.AgentKey = name;
        LoadAgent(agent);
        CAgentSettings* entry = m_list->AddCopy(agent);
        // A statistics file that cannot be read is not reported: the agent starts afresh.
        LoadStatistics(*entry, m_list->GetWorkDir());
    }
    RemoveOrphanStatistics(*m_list);
    return true;
}

bool CBrevDoc::Close() {
    if (!m_list)
        return true;
    bool ok = true;
    // Every agent's settings and log resume state reach the settings file in one write, after
    // the statistics files.
    CHiveBatch batch(UserHive());
    for (int i = 0; i < m_list->GetCount(); ++i) {
        CAgentSettings* agent = m_list->GetAt(i);
        if (!SaveAgent(*agent)) {
            ok = false;
        }
        if (!SaveStatistics(*agent, m_list->GetWorkDir())) {
            m_prompt.ShowMessage(GetLastMessage());
            ok = false;
        }
    }
    if (!batch.End()) {
        ok = false;
    }
    m_list.reset();
    return ok;
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
    return m_list->AddCopy(keyed);
}

bool CBrevDoc::ApplyProperties(CAgentSettings& agent, const CAgentSettings& edited) {
    const std::string key = agent.AgentKey;
    agent.AssignSettings(edited);
    agent.AgentKey = key;
    return SaveAgent(agent);
}

bool CBrevDoc::SaveAgentState(CAgentSettings& agent) {
    CHiveBatch batch(UserHive());
    const bool saved = SaveAgent(agent);
    const bool stats = m_list != nullptr && SaveStatistics(agent, m_list->GetWorkDir());
    return batch.End() && saved && stats;
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
    CHiveBatch batch(UserHive());
    for (int i = 0; i < m_list->GetCount();) {
        CAgentSettings* agent = m_list->GetAt(i);
        if (isSelected(*agent)) {
            deleted = DeleteAgent(*agent) && deleted;
            m_list->Remove(agent);
            ++removed;
        } else {
            ++i;
        }
    }
    deleted = batch.End() && deleted;
    if (stored != nullptr)
        *stored = deleted;
    return removed;
}

bool CBrevDoc::ApplyOptions(const std::string& workDir,
                            const std::array<std::string, kSuffixTypeCount>& suffixLists) {
    if (!m_list)
        return false;
    m_list->SetWorkDir(workDir);
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        m_list->SetSuffixList(i, suffixLists[static_cast<std::size_t>(i)]);
    }
    return SaveSuffixLists(*m_list);
}
