#include "log/IISLogReader.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "log/FieldCursor.h"
#include "log/LogFields.h"

CIISLogReader::CIISLogReader(CLogStream& stream, int32_t dateOrder)
    : CLogReader(stream), m_dateOrder(dateOrder), m_monthFirst(dateOrder != kIisDateDayFirst) {}

time_t CIISLogReader::DateTime(std::string_view date, std::string_view time) {
    if (m_memoValid && m_monthFirst == m_memoFlagBefore && date == m_memoDate &&
        time == m_memoTime) {
        m_monthFirst = m_memoFlagAfter;
        return m_memoResult;
    }
    m_memoValid = true;
    m_memoFlagBefore = m_monthFirst;
    m_memoDate.assign(date);
    m_memoTime.assign(time);
    m_memoResult = ReadDateTime(date, time);
    m_memoFlagAfter = m_monthFirst;
    return m_memoResult;
}

time_t CIISLogReader::ReadDateTime(std::string_view date, std::string_view time) {
    int32_t a = 0, b = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (ScanNumbers(date, '/', &a, &b, &year) != 3 ||
        ScanNumbers(time, ':', &hour, &minute, &second) != 3) {
        return 0;
    }
    // Two-digit years: 70 to 99 are 1970 to 1999, 00 to 69 are 2000 to 2069.
    if (year >= 0 && year < 70) {
        year += 2000;
    } else if (year < 100) {
        year += 1900;
    }
    int32_t month = m_monthFirst ? a : b;
    int32_t day = m_monthFirst ? b : a;
    if (month > 12) {
        std::swap(month, day);
        m_monthFirst = !m_monthFirst;
    }
    return LocalTimeOf(year, month, day, hour, minute, second);
}

bool CIISLogReader::ParseNextLine(CLogRecord& record) {
    record.Reset();
    std::string_view line;
    if (!ReadRecordLine(line)) {
        return false;
    }
    CFieldCursor fields(line);
    std::string_view date, time, field;
    record.Client = fields.Text(',');
    record.UserName = fields.Text(',');
    date = fields.Text(',');
    time = fields.Text(',');
    record.Service = fields.Field(',', field) ? IisServiceCode(field) : kServiceNone;
    record.ServerName = fields.Text(',');
    record.ServerAddress = fields.Text(',');
    record.TimeTaken = fields.Number(',');
    record.BytesReceived = fields.Number(',');
    record.BytesSent = fields.Number(',');
    record.Status = fields.Number(',');
    record.Win32Status = fields.Number(',');
    record.Method = fields.Field(',', field) ? HttpMethodCode(field) : kMethodNone;
    record.Url = fields.Text(',');
    if (fields.Exhausted()) {
        return false;
    }
    fields.Field(',', field);  // the parameters
    record.Referer = fields.Text(',');
    record.AgentText = fields.Text(',');
    record.Time = DateTime(date, time);
    if ((m_dateOrder == kIisDateMonthFirst && !m_monthFirst) ||
        (m_dateOrder == kIisDateDayFirst && m_monthFirst)) {
        return false;
    }
    return true;
}
