#include "agent/AgentList.h"

#include "sitemap/SiteMap.h"

const char* const kSuffixValueNames[kSuffixTypeCount] = {
    "HTML Files",  "ASP Files",  "Image Files",     "Video Files",
    "Audio Files", "Java Files", "Shockwave Files",
};

const char* const kSuffixDefaults[kSuffixTypeCount] = {
    "html\r\nhtm\r\n",
    "asp\r\n",
    "bmp\r\neps\r\ngif\r\njpeg\r\njpg\r\npcx\r\ntif\r\ntiff\r\n",
    "avi\r\nmov\r\nmpeg\r\nmpg\r\nqt\r\nqtm\r\n",
    "mid\r\nmidi\r\nwav\r\n",
    "class\r\njar\r\njav\r\njava\r\njs\r\n",
    "dcr\r\ndir\r\ndxr\r\nspl\r\nswf\r\n",
};

CAgentList::CAgentList() {
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        m_suffixLists[static_cast<std::size_t>(i)] = kSuffixDefaults[i];
    }
}

CAgentList::~CAgentList() = default;

CAgentSettings* CAgentList::AddCopy(const CAgentSettings& agent) {
    auto copy = std::make_unique<CAgentSettings>(agent.StartTime);
    copy->AssignSettings(agent);
    m_agents.push_back(std::move(copy));
    return m_agents.back().get();
}

bool CAgentList::Remove(const CAgentSettings* agent) {
    for (auto it = m_agents.begin(); it != m_agents.end(); ++it) {
        if (it->get() == agent) {
            m_agents.erase(it);
            return true;
        }
    }
    return false;
}

CAgentSettings* CAgentList::Find(const std::string& key) const {
    for (const auto& agent : m_agents) {
        if (agent->AgentKey == key)
            return agent.get();
    }
    return nullptr;
}

int CAgentList::IndexOf(const CAgentSettings* agent) const {
    for (std::size_t i = 0; i < m_agents.size(); ++i) {
        if (m_agents[i].get() == agent)
            return static_cast<int>(i);
    }
    return -1;
}
