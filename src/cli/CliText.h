// Text helpers shared by the tarvik commands: enumeration texts, local times, JSON strings.
// Pure functions; any thread.
#pragma once

#include <ctime>
#include <string>

// The index of text in an enumeration table (ended by an empty text), compared without regard
// to case; -1 if absent.
int IndexOf(const char* const* table, const std::string& text);

// The first count entries of a table, separated by commas, for error messages.
std::string Choices(const char* const* table, int count);

// "YYYY-MM-DD HH:MM:SS" as local time; false when the text is not that.
bool ParseLocalTime(const std::string& text, time_t* time);

// text as a JSON string, quotes included.
std::string JsonString(const std::string& text);
