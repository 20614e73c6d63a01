// The log formats an agent can name, the readers each one allows, and the choice and order of the
// log files a pattern names, and the opening of one (plain or compressed). Constant tables and
// functions that keep no state; any thread.
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

// Opens a log file for reading: through zlib when its bytes start as gzip data, as they are
// otherwise. nullptr when it cannot be opened or is a directory.
std::unique_ptr<CLogStream> OpenLogStream(const std::string& path);

// The files the pattern names (one wildcard expression over one directory; directories left
// out), in the order of their first record's time as the readers format allows read it (so
// rotated logs such as access.log.2.gz, access.log.1, access.log come oldest first); equal
// times, and files whose first record cannot be read (taken as the oldest), in the order of
// LogFileNumber, equal numbers by name. Without those an earlier run has read: when lastFile is
// listed, it and every file before it are dropped; otherwise, from the front, the files numbered
// up to lastNumber. With no resume state (lastFile empty, lastNumber -1) nothing is dropped.
// Opens every listed file to read its first lines.
StringList ListLogFiles(const std::string& pattern, const std::string& lastFile, int32_t lastNumber,
                        int32_t format = kLogAutoDetect);

// The times of the first and the last record over the files pattern names (from the start of
// each), each file read by the first reader format allows that matches it. A file whose last
// record cannot be read adds only its first. False when no file matches the pattern or none can
// be read by an allowed reader.
bool LogTimeSpan(const std::string& pattern, int32_t format, time_t& first, time_t& last);
