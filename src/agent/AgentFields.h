// The stored values of an agent's settings record, in the order the settings store writes them,
// with their kinds: one table that the store, the command line and the checks share. Read-only
// data; any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "agent/AgentSettings.h"

enum class AgentFieldKind {
    kString,   // registry string
    kBool,     // "true" / "false"
    kEnum,     // the entry of its table at the field's index
    kNumber,   // 32-bit number (double word)
    kTime,     // seconds since 1970-01-01 00:00 UTC as a double word
    kEncoded,  // string in the encoded form (the password)
};

struct AgentField {
    const char* name;  // the stored value name
    AgentFieldKind kind;
    std::string CAgentSettings::*text;  // kString, kEncoded
    bool CAgentSettings::*flag;         // kBool
    int32_t CAgentSettings::*number;    // kEnum, kNumber
    time_t CAgentSettings::*time;       // kTime
    const char* const* table;           // kEnum
};

// Every stored value of an agent, in stored order; ended by an entry whose name is nullptr.
extern const AgentField kAgentFields[];

// The field of that stored name, compared without regard to case; nullptr when there is none.
const AgentField* FindAgentField(std::string_view name);

// The field's value as the command line shows and takes it: strings as they are, enumerations
// by their stored text, booleans "true"/"false", numbers in decimal, times as
// "YYYY-MM-DD HH:MM:SS" local time, the password in plain text.
std::string FormatAgentField(const AgentField& field, const CAgentSettings& agent);

// Sets the field from such a text (enumerations and booleans compared without regard to case).
// False with a string-table message in error when the text is not a value of the field; the
// agent is then unchanged.
bool ParseAgentField(const AgentField& field, std::string_view text, CAgentSettings& agent,
                     std::string& error);

// A time as "YYYY-MM-DD HH:MM:SS" local time.
std::string FormatLocalTime(time_t t);
// The inverse; false unless the text has exactly that form, names a real date and time, and
// lies within the range a stored time can hold (1970 to 2106).
bool ParseLocalTime(std::string_view text, time_t& t);

// The double word a time is stored as, and back. Times outside the stored range are clamped.
uint32_t StoredTime(time_t t);
inline time_t TimeFromStored(uint32_t stored) {
    return static_cast<time_t>(stored);
}
