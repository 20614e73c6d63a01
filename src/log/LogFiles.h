// The log formats an agent can name, the readers each one allows, and the choice and order of the
// log files a pattern names. Pure functions and constant tables; any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/PathRules.h"

class CLogReader;
class CLogStream;

// The values of the format setting (their display names are the stored texts of the setting).
enum LogFormat : int32_t {
    kLogAutoDetect = 0,
    kLogIis = 1,
    kLogIisUsaDate = 2,
    kLogIisEuropeanDate = 3,
    kLogIisExtended = 4,
    kLogNcsa = 5,
    kLogApache = 6,
    kLogNetscape = 7,
    kLogW3CExtended = 8,
};
constexpr int32_t kLogFormatCount = 9;

// A format value outside the table reads as Auto Detect, as a stored text that matches no entry
// does.
int32_t CheckedLogFormat(int32_t format);

// The display name of a format ("Auto Detect", "NCSA", ...).
const char* LogFormatName(int32_t format);

// The readers a format allows, in the order they are tried.
enum class LogReaderKind { Iis, Common, W3C };
struct LogReaderChoice {
    LogReaderKind kind;
    int32_t iisDateOrder;  // for Iis
};
std::vector<LogReaderChoice> LogReadersOf(int32_t format);

// Builds a reader of the given kind over stream (borrowed; it must outlive the reader).
std::unique_ptr<CLogReader> MakeLogReader(const LogReaderChoice& choice, CLogStream& stream);

// The decimal digits of the file title (the name without directory and extension), in order, as
// one number; 0 without digits. Computed in 32 bits (longer digit runs wrap around).
int32_t LogFileNumber(const std::string& path);

// The files the pattern names (one wildcard expression over one directory; directories left
// out), ordered by LogFileNumber (equal numbers by name), without those an earlier run has read:
// from the front, files numbered up to lastNumber are dropped, and so is lastFile itself, which
// ends the dropping. With no resume state (lastFile empty, lastNumber -1) nothing is dropped.
StringList ListLogFiles(const std::string& pattern, const std::string& lastFile,
                        int32_t lastNumber);

// The times of the first and the last record over the files pattern names (from the start of
// each), each file read by the first reader format allows that matches it. A file whose last
// record cannot be read adds only its first. False when no file matches the pattern or none can
// be read by an allowed reader.
bool LogTimeSpan(const std::string& pattern, int32_t format, time_t& first, time_t& last);
