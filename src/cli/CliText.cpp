#include "cli/CliText.h"

#include <cstdio>

#include "agent/AgentSettings.h"
#include "base/PathRules.h"
#include "res/StringTable.h"

int IndexOf(const char* const* table, const std::string& text) {
    for (int i = 0; table[i][0] != '\0'; ++i) {
        if (EqualsNoCase(table[i], text)) {
            return i;
        }
    }
    return -1;
}

std::string Choices(const char* const* table, int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (!list.empty()) {
            list += ", ";
        }
        list += table[i];
    }
    return list;
}

bool ParseLocalTime(const std::string& text, time_t* time) {
    int year, month, day, hour, minute, second, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                    &second, &used) != 6 ||
        static_cast<std::size_t>(used) != text.size()) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 ||
        hour < 0 || minute < 0 || second < 0) {
        return false;
    }
    *time = LocalTime(year, month, day, hour, minute, second);
    return true;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += FormatText("\\u%04x", c);
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}
