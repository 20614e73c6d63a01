// The reader of the W3C Extended log format, whose columns are declared by the "#Fields:"
// directive at the head of the file. One reader per stream and thread (see CLogReader).
#pragma once

#include <string_view>
#include <vector>

#include "log/LogReader.h"

// The columns the reader knows; any other column is read and ignored (kW3CUnknown).
enum W3CField : int32_t {
    kW3CUnknown = 0,
    kW3CDate = 1,
    kW3CTime = 2,
    kW3CClientIp = 3,
    kW3CUserName = 4,
    kW3CSiteTime = 5,
    kW3CComputerName = 6,
    kW3CServerIp = 7,
    kW3CMethod = 8,
    kW3CUri = 9,
    kW3CUriStem = 10,
    kW3CUriQuery = 11,
    kW3CStatus = 12,
    kW3CWin32Status = 13,
    kW3CBytesSent = 14,
    kW3CBytesReceived = 15,
    kW3CTimeTaken = 16,
    kW3CPort = 17,
    kW3CVersion = 18,
    kW3CUserAgent = 19,
    kW3CCookie = 20,
    kW3CReferer = 21,
    kW3CPurpose = 22,  // cs(Sec-Purpose) or cs(Purpose)
};

// The identifier of a column name (compared without regard to case); kW3CUnknown for others.
W3CField W3CFieldOf(std::string_view name);

class CW3CLogReader : public CLogReader {
  public:
    // stream: borrowed. Reads the directives at the head of the stream (ReadHeader) and leaves the
    // stream where it was.
    explicit CW3CLogReader(CLogStream& stream);

    // One line of the declared columns, separated by runs of spaces and tabs. Directive lines,
    // lines with fewer columns than declared and every line of a stream without a "#Fields:"
    // directive at its head are rejected.
    bool ParseNextLine(CLogRecord& record) override;

    // Reads the directive lines at the very head of the stream (those starting with "#") and
    // restores the position. Always true.
    virtual bool ReadHeader();

    // One directive line: "#Fields:" replaces the column list, "#Date:" sets the default date
    // (local midnight of its YYYY-MM-DD); others are ignored.
    void ReadDirective(std::string_view line);

    const std::vector<W3CField>& Fields() const { return m_fields; }

  private:
    // Local midnight of a YYYY-MM-DD text (characters 0-3, 5-6 and 8-9).
    time_t DateOf(std::string_view text);

    std::vector<W3CField> m_fields;
    time_t m_defaultDate = 0;
    // The last 10-character date column read and its midnight: lines of one day follow each other.
    char m_lastDate[10] = {};
    bool m_haveLastDate = false;
    time_t m_lastMidnight = 0;
};
