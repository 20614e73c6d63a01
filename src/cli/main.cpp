// The tarvik command: runs the program's jobs without a window (scripts, CI, servers).

#include <cstdio>
#include <exception>
#include <string>

#include "cli/CliPrompt.h"
#include "cli/Commands.h"
#include "res/StringTable.h"

int main(int argc, char** argv) {
    // Whatever goes wrong unexpectedly, from building the commands on, is a message and a
    // failed command, never an abort.
    try {
        CLI::App app(ResString(IDS_CLI_DESCRIPTION), "tarvik");
        app.set_version_flag("--version", std::string("tarvik ") + TARVIK_VERSION,
                             ResString(IDS_CLI_VERSION_HELP));
        app.require_subcommand(0, 1);
        AddAgentCommands(app);
        AddSitemapCommands(app);
        AddLogCommands(app);
        AddRunCommands(app);
        AddEvaluateCommands(app);
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError& e) {
            return app.exit(e);
        }
        if (argc == 1) {
            std::fputs(app.help().c_str(), stdout);
            return 0;
        }
        return ExitStatus();
    } catch (const std::exception& e) {
        PrintCliError(FormatString(IDS_UNEXPECTED_ERROR, e.what()));
        return 1;
    }
}
