// Writes the lines of one instruction file (the index or a fetch file) into a buffer, in one of
// two forms. Text form: each line and an LF. Scrambled form: "{{", four key bytes, then each
// line and a ";" with every byte XORed with the key byte of a position that runs on, modulo 4,
// across the whole file. One writer per file; used by one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "site/TextBuffer.h"

class CRandSequence;

class CInstructionWriter {
  public:
    // Borrows buffer for the writer's life and appends to it. The scrambled form appends its
    // header now, its key being the next four values of ProcessRandSequence() modulo 256.
    CInstructionWriter(CTextBuffer& buffer, bool textForm);
    // The same with the key drawn from keys (borrowed for the call).
    CInstructionWriter(CTextBuffer& buffer, bool textForm, CRandSequence& keys);

    CInstructionWriter(const CInstructionWriter&) = delete;
    CInstructionWriter& operator=(const CInstructionWriter&) = delete;

    // Appends one line. A byte equal to the form's line end (LF, or ";" when scrambled) would split
    // the line, so it is written percent-encoded ("%0A", "%3B"), which names the same URL.
    // False when the buffer could not grow; the writer has then failed for good.
    bool WriteLine(std::string_view line);

    // True once any write could not be stored; the buffer must not be used as a file then.
    bool Failed() const { return m_failed; }

  private:
    CTextBuffer& m_buffer;
    int m_keyPosition = 0;
    bool m_textForm;
    uint8_t m_key[4] = {0, 0, 0, 0};
    std::string m_scratch;
    bool m_failed = false;
};
