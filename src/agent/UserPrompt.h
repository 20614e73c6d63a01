// What the agent document and the agent checks may ask of the person using the program: a
// message to acknowledge, or a question with Yes and No. The desktop program answers with
// message boxes; the command line writes to the terminal and answers from its options. Called
// on the user-interface thread.
#pragma once

#include <string>

class CUserPrompt {
  public:
    virtual ~CUserPrompt() = default;

    // Shows the text and returns when it has been acknowledged (OK).
    virtual void ShowMessage(const std::string& text) = 0;

    // Asks the question with Yes and No buttons under the caption; false only for No.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};
