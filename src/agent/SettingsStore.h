// The settings store: every agent's settings in its own key below the product key of the user's
// hive (UserHive()), the application-wide values in the product key itself, and each agent's
// statistics file in the working directory. Registry failures are silent in the program (the
// functions return false for callers that report them, such as the command line); statistics
// file failures leave their message in the last-message buffer. User-interface thread only.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "agent/AgentList.h"
#include "agent/AgentSettings.h"
#include "base/PathRules.h"
#include "hive/Hive.h"

// The product key below HKEY_CURRENT_USER, with "/" between its components.
inline constexpr const char* kProductKeyPath = "Software/Quorvane/Tarvik/1.0B";
// Application-wide values of the product key besides the suffix lists.
inline constexpr const char* kWorkDirValue = "TarvikDir";
inline constexpr const char* kAsciiPrefetchValue = "AsciiPrefetch";
// Values of an agent's key besides its settings: where log analysis stopped, so that an
// accumulating run started by a later process resumes there. Written with the statistics file.
inline constexpr const char* kLastLogFileValue = "LastLogFile";
inline constexpr const char* kLastLogPositionValue = "LastLogPosition";
inline constexpr const char* kLastLogNumberValue = "LastLogNumber";
// Beside the resume state: a digest of the statistics file it belongs to. A resume state is
// used only with the very statistics it was saved with.
inline constexpr const char* kLastLogGraphValue = "LastLogGraph";

// The components of the product key followed by the agent's key (which may hold any character
// but "\").
StringList AgentKeyPath(const std::string& agentKey);

// Writes every stored value of the agent into its key (created when missing), in stored order,
// in one write of the hive file. False when the agent has no key or the file could not be
// written.
bool SaveAgent(const CAgentSettings& agent);

// The agent's stored values, in stored order and stored encoding: what SaveAgent writes.
std::vector<HiveValue> StoredAgentValues(const CAgentSettings& agent);

// Writes only the values of the agent that differ from before (what this program loaded or
// last saved), in one locked write that re-reads the file first, so that another program's
// changes to other values and other agents stay. When the agent's key is gone (another program
// removed it) it is written whole again if anything changed, and not at all otherwise. True,
// writing nothing, when nothing differs; false when the file could not be written.
bool SaveChangedValues(const CAgentSettings& agent, const std::vector<HiveValue>& before);

// Reads every stored value of the agent's key (creating the key when missing; when that fails
// the record stays unchanged). A string, number, boolean or time that cannot be read leaves its
// field unchanged; an enumeration that cannot be read or matched becomes index 0. Values of
// any length are read. False when the key could not be opened.
bool LoadAgent(CAgentSettings& agent);

// Gives a new agent its key, DomainName + " " + the lowest number not in use (compared without
// regard to case, as the hive compares key names; "/", "\" and control characters of the
// domain name become "_" so that the key is one key and one file name), and saves the agent.
// The choice and the save happen in one locked write, so two processes adding agents at the
// same time get different keys. False, with AgentKey empty, when the product key cannot be
// opened or the file cannot be written. Must not run inside a batch of the user's hive.
bool AssignAgentKey(CAgentSettings& agent);

// Deletes the agent's key with everything in it. False when it has no key, there is no such
// key, or the file could not be written.
bool DeleteAgent(const CAgentSettings& agent);

// The statistics file of an agent key: the working directory (forward slashes, trailing "/"),
// the key and ".qvs". An empty working directory is the current directory.
std::string StatisticsFileName(const std::string& workDir, const std::string& agentKey);

// Writes the agent's page graph to its statistics file, then the graph's log resume state with
// the digest of the file into the agent's key (in one write of the settings file). Without a
// page graph it succeeds and writes nothing. A file there that cannot be read is first renamed
// to NAME.qvs.damaged, and *note (when given) says so; when that rename fails nothing is
// written. False with the reason in the last-message buffer ("Could not write site statistics
// file (%s)" when the file cannot be written; the old file and the stored resume state then
// stay as they were).
bool SaveStatistics(CAgentSettings& agent, const std::string& workDir, std::string* note = nullptr);

// Replaces the agent's page graph by a new one for HomePage with a new site access object, and
// reads the statistics file into it. The log resume state stored in the agent's key is restored
// only when its digest names these very statistics; otherwise, when either side holds log
// data, the graph is marked ResumeStateLost. False with "Could not read site statistics file
// (%s)" in the last-message buffer when the file exists and cannot be read; the new, empty
// graph stays attached (and the file is left as it is).
bool LoadStatistics(CAgentSettings& agent, const std::string& workDir);

// The digest that binds a resume state to the statistics bytes it was saved with.
std::string StatisticsDigest(std::string_view bytes);

// Deletes every "*.qvs" file of the list's working directory whose name without directory and
// extension is exactly the key of no agent in the list nor of any agent key now in the hive
// (another process may have just added one).
void RemoveOrphanStatistics(const CAgentList& list);

// Reads the seven suffix lists (an absent or non-string value takes its default; a present
// empty one stays empty), the working directory (TarvikDir; absent: DefaultWorkDir()) and the
// AsciiPrefetch switch (on when a string value of that name exists) into the list. False when
// the product key could not be opened (the list then holds the defaults).
bool LoadAppValues(CAgentList& list);

// Writes, in one write, the list's working directory (TarvikDir) when workDir is set and each
// suffix list whose flag is set; nothing else. True, writing nothing, when no flag is set.
bool SaveAppValues(const CAgentList& list, bool workDir,
                   const std::array<bool, kSuffixTypeCount>& suffixLists);

// The working directory when the settings name none: ${XDG_DATA_HOME:-$HOME/.local/share}/
// quorvane/tarvik (the current directory when there is no home directory). Not created here.
std::string DefaultWorkDir();

// The agent keys now in the hive (its product key's subkeys, in enumeration order). False when
// the product key could not be opened.
bool ListAgentKeys(StringList& keys);
