// The program's one document: the list of agents, loaded from the settings store when the
// program starts and written back when it ends, and the data side of the agent commands. It
// holds no window code: messages and questions go through a CUserPrompt that the desktop
// program and the command line each implement, and the current agent and the selection come
// from whoever shows the list. User-interface thread only.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

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

    // Close: every agent in list order is saved to the store and its statistics file written;
    // a statistics file that cannot be written is shown through the prompt (the last message)
    // and the close goes on. The settings of all agents reach the settings file in one write.
    // Then the list is destroyed. False when the settings write or a statistics write failed.
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

    // After an embedding step of the step-by-step dialog: saves the agent's settings and its
    // statistics file. False when either failed (a statistics failure leaves its message).
    bool SaveAgentState(CAgentSettings& agent);

    // The removal flow. Nothing happens without a current agent. Otherwise asks "Are you sure
    // you want to remove the agent '%s' from the list?" with its Description; on any answer but
    // No deletes the key of every agent for which isSelected is true and removes it from the
    // list (statistics files stay until the next start-up). Returns the number removed; stored,
    // when given, tells whether every deletion reached the settings file.
    int RemoveAgents(const CAgentSettings* current,
                     const std::function<bool(const CAgentSettings&)>& isSelected,
                     bool* stored = nullptr);

    // Accepting the options sheet: the working directory (for this run; never stored; seeded
    // like the one of Open) and the seven suffix lists (stored). False when storing the lists
    // failed.
    bool ApplyOptions(const std::string& workDir,
                      const std::array<std::string, kSuffixTypeCount>& suffixLists);

    CUserPrompt& Prompt() { return m_prompt; }

  private:
    CUserPrompt& m_prompt;
    std::unique_ptr<CAgentList> m_list;
};
