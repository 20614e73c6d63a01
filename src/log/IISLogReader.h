// The reader of the comma-separated Microsoft IIS log format, in its three date orders. One
// reader per stream and thread (see CLogReader).
#pragma once

#include <string>

#include "log/LogReader.h"

// The date order of an IIS log.
enum IISDateOrder : int32_t {
    kIisDateAuto = 0,        // follow the data: month first until a line shows otherwise
    kIisDateMonthFirst = 1,  // USA dates; a day-first line is rejected
    kIisDateDayFirst = 2,    // European dates; a month-first line is rejected
};

class CIISLogReader : public CLogReader {
  public:
    // stream: borrowed. dateOrder: one of IISDateOrder.
    CIISLogReader(CLogStream& stream, int32_t dateOrder);

    // Line layout: client, user, date, time, service, server name, server address, time taken,
    // bytes received, bytes sent, status, win32 status, method, target, parameters[, referer
    // [, agent]]. A line that ends with the target is rejected; so is, in a fixed date order, a
    // line whose date shows the other order.
    bool ParseNextLine(CLogRecord& record) override;

    // Whether dates are read month first now. It starts true unless the order is day first, and
    // flips (for this and every later line) whenever a date's month would be above 12.
    bool MonthFirst() const { return m_monthFirst; }

  private:
    // The IIS date rule, through the memo of the last line's texts.
    time_t DateTime(std::string_view date, std::string_view time);
    time_t ReadDateTime(std::string_view date, std::string_view time);

    int32_t m_dateOrder;
    bool m_monthFirst;
    // Lines of the same second follow each other: the last date and time texts, the flag they
    // were read with, and what they gave.
    bool m_memoValid = false;
    std::string m_memoDate;
    std::string m_memoTime;
    bool m_memoFlagBefore = false;
    bool m_memoFlagAfter = false;
    time_t m_memoResult = 0;
};
