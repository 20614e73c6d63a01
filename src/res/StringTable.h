// The string table: every user-visible text of the program, looked up by its numeric id.
// Read-only after start-up; any thread may call these functions.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

enum StringId : int {
#define TARVIK_STRING(name, id, text) name = id,
#include "res/strings/All.inc"
#undef TARVIK_STRING
};

// The text of an id, or "" for an id the table does not hold. The pointer stays valid for the
// life of the process.
const char* ResString(int id);

// True when the table holds the id.
bool HasResString(int id);

// The text of an id used as a printf format with the arguments that follow.
std::string FormatString(int id, ...);
std::string FormatStringV(int id, va_list args);

// printf-style formatting into a std::string (no string-table lookup).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);

// A text as a terminal or a window may show it when parts of it come from outside (a site, a
// log, a settings file): control characters (C0 but line feed and tab, DEL, C1 in UTF-8 or as
// single bytes) become \xHH, so that no name can move the cursor, retitle a terminal or clear
// the screen. Bytes that are not UTF-8 (0x80 to 0xFF alone) are shown as \xHH too.
std::string ShownText(std::string_view text);
