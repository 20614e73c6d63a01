// The subcommands of the tarvik command. Each area of the program adds its own subcommands to
// the application in a function of its own file; main() calls them in this order. They run on the
// main thread.
#pragma once

#include <CLI/CLI.hpp>

// Each Add function registers subcommands whose callbacks set the process exit status through
// SetExitStatus (0 on success). Failures print their message to stderr.
void SetExitStatus(int status);
int ExitStatus();

// tarvik logs (LogCommands.cpp).
void AddLogCommands(CLI::App& app);
