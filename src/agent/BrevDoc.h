// The program's one document: the list of agents, loaded from the settings store when the
// program starts and written back when it ends, and the data side of the agent commands. It
// holds no window code: messages and questions go through a CUserPrompt that the desktop
// program and the command line each implement, and the current agent and the selection come
// from whoever shows the list. User-interface thread only.
//
// Other programs share the settings file, the statistics files and the site while this one
// runs (the desktop program, cron jobs, a shell). The document remembers what it read of each
// agent and writes back only what changed in this program: the settings values that differ,
// and a statistics file only when its page graph (with its log resume state) changed.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "agent/RunLock.h"
#include "hive/Hive.h"

#include "agent/AgentList.h"

class CUserPrompt;

// The agent commands, by the identifiers of the menu.
enum AgentCommand : int {
    kCmdAddAgent = 32771,
    kCmdRemoveAgent = 32772,
    kCmdRunAgent = 32773,
    kCmdOptions = 32775,
    kCmdAddIfEmpty = 32777,
    kCmdAnalyzeAndEmbed = 32778,
    kCmdProperties = 32788,
};

// Whether the command is enabled: Add, Options and the start-up command always; Remove when at
// least one agent is selected; Run, Analyze and Embed, and Properties when there is a current
// agent (exactly one selected). current: the current agent or nullptr (borrowed).
// selectedCount: how many agents are selected. Unknown commands are disabled.
bool IsAgentCommandEnabled(int command, const CAgentSettings* current, int selectedCount);

class CBrevDoc {
  public:
    // prompt: borrowed; it must outlive the document.
    explicit CBrevDoc(CUserPrompt& prompt);
    // Closes the document (Close) when it is open.
    ~CBrevDoc();

    CBrevDoc(const CBrevDoc&) = delete;
    CBrevDoc& operator=(const CBrevDoc&) = delete;

    // Start-up: a new agent list with the application values (the suffix lists with their
    // defaults, the working directory, the ASCII switch); every agent of the store in
    // enumeration order, each with its statistics file (one that cannot be read leaves an empty
    // page graph and shows nothing); then the orphan statistics files are deleted. workDir, when
    // not empty, replaces the stored working directory for this run without being stored. The
    // default working directory is created when it is the one in use; the working directory
    // gets the runtime files it lacks (SeedWorkDir from FindRuntimeDir). False when the settings
    // file could not be read (the list is then empty and nothing is deleted).
    bool Open(const std::string& workDir = std::string());

    // Close: SaveAgentState for every agent in list order, so that everything this program
    // changed is stored and nothing else is touched (another program's changes to other values
    // and agents stay; an agent another program removed is not recreated unless it changed
    // here); a statistics file that cannot be written is shown through the prompt (the last
    // message) and the close goes on. The settings reach the settings file in one write. Then
    // the list is destroyed. False when the settings write or a statistics write failed.
    bool Close();

    bool IsOpen() const { return m_list != nullptr; }
    // The agent list (Open must have succeeded).
    CAgentList& Agents() { return *m_list; }
    const CAgentList& Agents() const { return *m_list; }

    // The title shown for the current agent: its Description, or "Tarvik" without one.
    static std::string Title(const CAgentSettings* current);

    // Command 32777 at start-up: true when the list is empty and the new-agent wizard should open.
    bool WantsFirstAgent() const { return m_list == nullptr || m_list->GetCount() == 0; }

    // Finishing the new-agent wizard: gives the agent its key, saves it and appends a copy to
    // the list. Returns the new entry, or nullptr when no key could be given (nothing added).
    CAgentSettings* AddAgent(const CAgentSettings& agent);

    // Accepting the property sheet: copies the edited settings into the agent (keeping its key
    // and page graph) and saves it. False when the save failed. agent: an entry of the list.
    bool ApplyProperties(CAgentSettings& agent, const CAgentSettings& edited);

    // Saves what changed in this program of one agent, at once: after a run (still holding its
    // run lock) and after an embedding step of the step-by-step dialog. The settings values
    // that differ from what was read or last saved (re-read under the file's lock), then, when
    // statistics is true and the page graph or its resume state changed, the statistics file
    // with its resume state. An unreadable statistics file is first kept as NAME.qvs.damaged,
    // shown through the prompt in one line. False when a write failed (a statistics failure
    // leaves its message). statisticsSaved, when given, tells whether the statistics file was
    // written when it was due; false there leaves the statistics message in the last-message
    // buffer (a settings failure leaves UserHive().LastError()).
    bool SaveAgentState(CAgentSettings& agent, bool statistics = true,
                        bool* statisticsSaved = nullptr);

    // Before a run of the agent (all phases or some): takes the agent's run lock, then brings
    // what this program has not changed of the agent up to date with the files (settings
    // values, statistics and resume state another program saved meanwhile), so that the run
    // goes on from the newest state. nullptr, with "Agent "%s" is being run by another
    // program ..." (or why the lock could not be taken) in the last-message buffer, when the
    // agent is running elsewhere. Keep the lock until SaveAgentState after the run.
    std::unique_ptr<CRunLock> LockForRun(CAgentSettings& agent);

    // The removal flow. Nothing happens without a current agent. Otherwise asks "Are you sure
    // you want to remove the agent '%s' from the list?" with its Description; on any answer but
    // No deletes the key of every agent for which isSelected is true and removes it from the
    // list; the statistics file of each key freed is deleted, so that a new agent given the
    // key later does not inherit it. Returns the number removed; stored,
    // when given, tells whether every deletion reached the settings file.
    int RemoveAgents(const CAgentSettings* current,
                     const std::function<bool(const CAgentSettings&)>& isSelected,
                     bool* stored = nullptr);

    // Accepting the options sheet: the working directory (seeded like the one of Open) and the
    // seven suffix lists. What differs from the list's values is stored, nothing else: a new
    // working directory is stored (the next start finds the statistics there), and every
    // agent's statistics file is written there at its next save. False when storing failed.
    bool ApplyOptions(const std::string& workDir,
                      const std::array<std::string, kSuffixTypeCount>& suffixLists);

    CUserPrompt& Prompt() { return m_prompt; }

    // Set while a run, a sheet or a dialog works on the agents: agent commands and closing the
    // program are refused meanwhile.
    bool IsBusy() const { return m_busy; }
    void SetBusy(bool busy) { m_busy = busy; }

  private:
    // What this program last read or wrote of one agent.
    struct Stored {
        std::vector<HiveValue> values;  // the stored values
        std::string graph;              // GraphDigest of the page graph ("" without one)
    };
    // A digest of the page graph with its resume state, "" when the agent has none.
    static std::string GraphDigest(CAgentSettings& agent);
    void Remember(CAgentSettings& agent);

    CUserPrompt& m_prompt;
    std::unique_ptr<CAgentList> m_list;
    std::map<std::string, Stored> m_stored;  // by agent key
    bool m_busy = false;
};
