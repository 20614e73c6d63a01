#include "cli/CliPrompt.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "base/PathRules.h"
#include "res/StringTable.h"

void PrintCliError(const std::string& text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    std::fprintf(stderr, "%s\n", FormatString(IDS_CLI_ERROR, ShownText(line).c_str()).c_str());
}

void CCliPrompt::ShowMessage(const std::string& text) {
    PrintCliError(text);
}

bool CCliPrompt::AskYesNo(const std::string& text, const std::string& /*caption*/) {
    if (m_answer == Answer::kYes)
        return true;
    if (m_answer == Answer::kAsk && isatty(STDIN_FILENO) != 0) {
        std::fprintf(stderr, "%s%s", text.c_str(), ResString(IDS_CLI_YES_NO));
        std::fflush(stderr);
        std::string reply;
        if (std::getline(std::cin, reply)) {
            std::string_view answer = reply;
            while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\r')) {
                answer.remove_suffix(1);
            }
            if (EqualsNoCase(answer, "y") || EqualsNoCase(answer, "yes"))
                return true;
        }
    }
    m_declined = text;
    return false;
}
