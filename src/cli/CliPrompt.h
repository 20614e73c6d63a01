// The command line's side of the agent document's messages and questions: messages go to
// stderr; a question is answered by the command's option (Yes), asked on the terminal when the
// command allows it and stdin is one, or else answered No. Main thread.
#pragma once

#include <string>

#include "agent/UserPrompt.h"

class CCliPrompt : public CUserPrompt {
  public:
    enum class Answer {
        kNo,   // every question is answered No
        kYes,  // every question is answered Yes
        kAsk,  // asked on the terminal when stdin is one; No otherwise
    };

    explicit CCliPrompt(Answer answer = Answer::kNo) : m_answer(answer) {}

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

    // The last question answered No, or "".
    const std::string& Declined() const { return m_declined; }

  private:
    Answer m_answer;
    std::string m_declined;
};

// Writes "tarvik: text" to stderr (the text without a final line break of its own).
void PrintCliError(const std::string& text);
