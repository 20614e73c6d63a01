// The subcommands of the tarvik command. Each area of the program adds its own subcommands to
// the application in a function of its own file; main() calls them in this order. They run on the
// main thread.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

// Each Add function registers subcommands whose callbacks set the process exit status through
// SetExitStatus (0 on success). Failures print their message to stderr.
void SetExitStatus(int status);
int ExitStatus();

class CAgentList;
class CAgentSettings;
class CBrevDoc;
class CUserPrompt;

// The agent named by its key, or else by a description that no other agent has; nullptr (with
// the reason printed to stderr) when there is none or more than one.
CAgentSettings* FindAgent(CAgentList& list, const std::string& name);

// The agent commands (list, show, add, set, remove, options) and the global options --registry
// and --workdir.
void AddAgentCommands(CLI::App& app);

// Opens the agent document the way the program starts (honouring --registry and --workdir),
// runs body, and closes the document the way the program ends. Returns the exit status: 0 when
// body returned true and the close succeeded. Failures are printed to stderr. A subcommand that
// uses it should call fallthrough() so that the global options may follow its name.
int RunWithAgentDocument(CUserPrompt& prompt, const std::function<bool(CBrevDoc&)>& body);

// Reads the settings and the agent list as the program starts, but writes nothing, now or later:
// no directories made, no statistics files loaded or removed, nothing saved. For commands that
// only look. False (with the reason printed) when the settings file cannot be read.
bool ReadAgentDocument(CAgentList& list);

// tarvik sitemap (crawl a local site) and tarvik stats (print a statistics file).
void AddSitemapCommands(CLI::App& app);
// tarvik logs (LogCommands.cpp).
void AddLogCommands(CLI::App& app);

// tarvik evaluate: an agent's plan replayed against access logs (EvaluateCommands.cpp).
void AddEvaluateCommands(CLI::App& app);

// tarvik run (an agent's processing run), tarvik estimate (its estimates) and tarvik decode
// (instruction files as lines).
void AddRunCommands(CLI::App& app);
