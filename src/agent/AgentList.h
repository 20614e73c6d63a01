// The list of agents held by the document for the whole run of the program, with the
// application-wide values that go with it: the working directory, the seven file-type suffix
// lists and the plain-text switch of the instruction files. Used on the user-interface thread;
// a run's worker thread reads its own agent and the suffix lists while the run is active.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "agent/AgentSettings.h"

// The file types with a suffix list, in stored order.
enum SuffixType : int {
    kSuffixHTML = 0,
    kSuffixASP = 1,
    kSuffixImage = 2,
    kSuffixVideo = 3,
    kSuffixAudio = 4,
    kSuffixJava = 5,
    kSuffixShockwave = 6,
    kSuffixTypeCount = 7,
};

// The stored value names of the suffix lists ("HTML Files" ... "Shockwave Files").
extern const char* const kSuffixValueNames[kSuffixTypeCount];
// The default of each list in its stored form: suffixes without dots, each followed by CR LF.
extern const char* const kSuffixDefaults[kSuffixTypeCount];

class CAgentList {
  public:
    CAgentList();
    ~CAgentList();

    CAgentList(const CAgentList&) = delete;
    CAgentList& operator=(const CAgentList&) = delete;

    int GetCount() const { return static_cast<int>(m_agents.size()); }
    // The agent at index (0 <= index < GetCount()); the list keeps owning it.
    CAgentSettings* GetAt(int index) const {
        return m_agents[static_cast<std::size_t>(index)].get();
    }

    // Appends a copy of the agent's settings and key (not its page graph) and returns the new
    // entry, owned by the list.
    CAgentSettings* AddCopy(const CAgentSettings& agent);
    // Destroys the agent (with its page graph) and closes the gap, keeping the order. False when
    // the agent is not in the list. agent is borrowed.
    bool Remove(const CAgentSettings* agent);
    // The agent whose key equals key exactly, or nullptr.
    CAgentSettings* Find(const std::string& key) const;
    // The index of the agent, or -1.
    int IndexOf(const CAgentSettings* agent) const;

    const std::string& GetWorkDir() const { return m_workDir; }
    void SetWorkDir(std::string dir) { m_workDir = std::move(dir); }

    // A list in its stored form (suffixes each followed by CR LF).
    const std::string& GetSuffixList(int type) const {
        return m_suffixLists[static_cast<std::size_t>(type)];
    }
    void SetSuffixList(int type, std::string list) {
        m_suffixLists[static_cast<std::size_t>(type)] = std::move(list);
    }

    bool GetAscii() const { return m_ascii; }
    void SetAscii(bool ascii) { m_ascii = ascii; }

  private:
    std::vector<std::unique_ptr<CAgentSettings>> m_agents;
    std::string m_workDir;
    std::array<std::string, kSuffixTypeCount> m_suffixLists;
    bool m_ascii = false;
};
