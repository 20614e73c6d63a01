// Takes the fields of one log line in order, as the IIS and common readers split their lines:
// fields ended by a delimiter, or between an opening and a closing character. A field ended by
// the end of the line exhausts the cursor, and an exhausted cursor yields only missing fields.
// Works on a line held with kLinePadding readable bytes after it; one reader's thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "log/LogFields.h"

class CFieldCursor {
  public:
    // line: borrowed, with kLinePadding readable bytes after its end.
    explicit CFieldCursor(std::string_view line) : m_rest(line) {}

    bool Exhausted() const { return m_exhausted; }

    // Leading spaces skipped, then up to the next delimiter (which is consumed) or the end of
    // the line (trailing spaces stay). False, with an empty field, when the cursor was exhausted.
    bool Field(char delimiter, std::string_view& field) {
        field = {};
        if (m_exhausted) {
            return false;
        }
        std::size_t start = 0;
        while (start < m_rest.size() && m_rest[start] == ' ') {
            ++start;
        }
        return Take(start, delimiter, field);
    }

    // From behind the next open character up to the close character (consumed) or the end of
    // the line; missing, and the cursor exhausted, when there is no open character.
    bool Delimited(char open, char close, std::string_view& field) {
        field = {};
        if (m_exhausted) {
            return false;
        }
        const char* at = FindByte(m_rest.data(), m_rest.data() + m_rest.size(), open);
        if (at == nullptr) {
            m_rest = {};
            m_exhausted = true;
            return false;
        }
        return Take(static_cast<std::size_t>(at - m_rest.data()) + 1, close, field);
    }

    // A text field: a missing field or "-" is empty.
    std::string_view Text(char delimiter) {
        std::string_view field;
        return Field(delimiter, field) && field != "-" ? field : std::string_view();
    }
    std::string_view QuotedText() {
        std::string_view field;
        return Delimited('"', '"', field) && field != "-" ? field : std::string_view();
    }
    // A number field: a missing field or "-" is 0, else its leading digits.
    int32_t Number(char delimiter) {
        std::string_view field;
        if (!Field(delimiter, field) || field == "-") {
            return 0;
        }
        return LeadingNumber(field);
    }

    // What the fields taken so far left of the line.
    std::string_view Rest() const { return m_rest; }

  private:
    bool Take(std::size_t start, char end, std::string_view& field) {
        const char* from = m_rest.data() + start;
        std::size_t left = m_rest.size() - start;
        const char* at = FindByte(from, from + left, end);
        if (at == nullptr) {
            field = std::string_view(from, left);
            m_rest = {};
            m_exhausted = true;
        } else {
            std::size_t n = static_cast<std::size_t>(at - from);
            field = std::string_view(from, n);
            m_rest.remove_prefix(start + n + 1);
        }
        return true;
    }

    std::string_view m_rest;
    bool m_exhausted = false;
};
