// The reader of one access log: turns its lines into CLogRecord hits, and probes the stream for
// its first and last record and for the first record after a time. Each log format derives from
// it and supplies ParseNextLine; everything else works through ParseNextLine, SkipLine and
// ReadLine. A reader lives for the processing of one stream by one format, on one thread; it
// borrows the stream, which its creator positions beforehand and closes afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <string_view>

#include "log/LocalTimeCache.h"
#include "log/LogFields.h"
#include "log/LogRecord.h"
#include "log/LogStream.h"

// The latest time: the last time of a log whose last record cannot be read, so that the log is
// never taken as older than a time range that reaches the present or the future.
constexpr time_t kLatestLogTime = std::numeric_limits<time_t>::max();

class CLogReader {
  public:
    // Line buffer sizes: records are read through the first, probing lines through the second.
    static constexpr std::size_t kRecordLineSize = 4096;
    static constexpr std::size_t kProbeLineSize = 1024;
    // Lines that ReadFirstRecord tries, and the probing distances in bytes.
    static constexpr int32_t kFirstRecordAttempts = 20;
    static constexpr int64_t kLastLineDistance = 1000;
    static constexpr int64_t kSeekStep = 100000;

    // stream: borrowed; it must outlive the reader.
    explicit CLogReader(CLogStream& stream) : m_stream(stream) {}
    virtual ~CLogReader() = default;

    CLogReader(const CLogReader&) = delete;
    CLogReader& operator=(const CLogReader&) = delete;

    // Reads one line and fills record (reset first). False when no line could be read or the line
    // does not fit the format.
    virtual bool ParseNextLine(CLogRecord& record) = 0;
    // Positions the stream at the start of the last line of at least 2 bytes found in the last
    // 1000 bytes (from the current position when the file is shorter). False when no line follows
    // the partial line there.
    virtual bool SeekToLastLine();
    // Rewinds and reads the first record among the first 20 lines.
    virtual bool ReadFirstRecord(CLogRecord& record);
    // Reads lines until one parses, at most maxAttempts of them (0: no bound), stopping at the
    // end of the stream. False when none parsed.
    virtual bool ReadRecord(CLogRecord& record, int32_t maxAttempts);
    // SeekToLastLine, then ParseNextLine.
    virtual bool ReadLastRecord(CLogRecord& record);
    // The times of the first and the last record. False when none of the first 20 lines is a
    // record; when the last record cannot be read, last is kLatestLogTime.
    virtual bool GetTimeSpan(time_t& first, time_t& last);
    // Positions the stream at the start of the first record whose time is later than time
    // (records at exactly that time are passed over), after jumps of 100000 bytes and a linear
    // scan. False when there is no such record.
    virtual bool SeekToTime(time_t time);
    // Reads and drops one line (through a 1024-byte buffer); false at the end.
    virtual bool SkipLine();
    // The line-reading primitive (see CLogStream::ReadLine): buffer of size bytes, or nullptr at
    // the end.
    virtual const char* ReadLine(char* buffer, std::size_t size, std::size_t* length = nullptr);

    CLogStream& Stream() { return m_stream; }

  protected:
    // ParseNextLine's read: the line ReadLine would give through a 4096-byte buffer, with
    // kLinePadding readable bytes after it (see CLogStream::ReadLineView). False at the end. The
    // line stays valid until the next read.
    bool ReadRecordLine(std::string_view& line) {
        return m_stream.ReadLineView(m_line, kRecordLineSize, kLinePadding, line);
    }

    // Local calendar time to seconds since 1970, through the reader's cache.
    time_t LocalTimeOf(int year, int month, int day, int hour, int minute, int second) {
        return m_times.Convert(year, month, day, hour, minute, second);
    }

    CLogStream& m_stream;

  private:
    CLocalTimeCache m_times;
    char m_line[kRecordLineSize + kLinePadding];
};
