// The reader of the common log format of NCSA, Apache and Netscape servers, with the referer and
// agent fields of the combined format when present. One reader per stream and thread (see
// CLogReader).
#pragma once

#include <string>

#include "log/LogReader.h"

class CCommonLogReader : public CLogReader {
  public:
    // stream: borrowed.
    explicit CCommonLogReader(CLogStream& stream) : CLogReader(stream) {}

    // Line layout: host ident user [date] "request" status bytes ["referer" ["agent"]]. A line
    // that ends with the status, or whose date is shorter than 20 characters, is rejected. The
    // path "/" is read as "/index.html".
    bool ParseNextLine(CLogRecord& record) override;

    // The common date rule ("10/Oct/1998:13:55:36 -0700", the zone ignored) as local time; false
    // for a date shorter than 20 characters. A month name that is none of the twelve gives
    // December.
    bool ParseDate(std::string_view date, time_t* time);

    // The name of an extra field after the agent that carries the request's purpose, written
    // name=value (the value ends at a blank or a double quote); empty: none is read.
    void SetPurposeField(const std::string& name) {
        m_purposeKey = name.empty() ? name : name + "=";
    }

  private:
    std::string m_purposeKey;
    // The rule reads the first 20 characters only, and lines of the same second follow each
    // other: the last date text read and its time.
    static constexpr std::size_t kDateLength = 20;
    char m_lastDate[kDateLength] = {};
    bool m_haveLastDate = false;
    time_t m_lastTime = 0;
};
