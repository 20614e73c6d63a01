#include "synthesis/InstructionWriter.h"

#include <cstring>

#include "synthesis/RandSequence.h"

CInstructionWriter::CInstructionWriter(CTextBuffer& buffer, bool textForm)
    : CInstructionWriter(buffer, textForm, ProcessRandSequence()) {}

CInstructionWriter::CInstructionWriter(CTextBuffer& buffer, bool textForm, CRandSequence& keys)
    : m_buffer(buffer), m_textForm(textForm) {
    if (m_textForm) {
        return;
    }
    char header[6] = {'{', '{', 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        m_key[i] = static_cast<uint8_t>(keys.Next() % 256);
        header[2 + i] = static_cast<char>(m_key[i]);
    }
    m_failed = !m_buffer.Append(header, 6);
}

bool CInstructionWriter::WriteLine(std::string_view line) {
    if (m_failed) {
        return false;
    }
    const char end = m_textForm ? '\n' : ';';
    const char* escaped = m_textForm ? "%0A" : "%3B";
    m_scratch.clear();
    m_scratch.reserve(line.size() + 1);
    for (char c : line) {
        if (c == end) {
            m_scratch.append(escaped);
        } else {
            m_scratch.push_back(c);
        }
    }
    m_scratch.push_back(end);
    if (!m_textForm) {
        for (char& c : m_scratch) {
            c = static_cast<char>(static_cast<uint8_t>(c) ^ m_key[m_keyPosition]);
            m_keyPosition = (m_keyPosition + 1) % 4;
        }
    }
    if (!m_buffer.Append(m_scratch)) {
        m_failed = true;
    }
    return !m_failed;
}
