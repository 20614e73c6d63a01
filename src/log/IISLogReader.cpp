#include "log/IISLogReader.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "log/LogFields.h"

namespace {

// Takes comma-separated fields from a line: leading spaces are skipped, trailing ones kept; the
// field at the end of the line exhausts the cursor.
class CommaFields {
  public:
    explicit CommaFields(std::string_view line) : m_rest(line) {}

    bool Exhausted() const { return m_exhausted; }

    // The next field; false (and an empty field) when the cursor was exhausted already.
    bool Next(std::string_view& field) {
        field = {};
        if (m_exhausted) {
            return false;
        }
        std::size_t start = 0;
        while (start < m_rest.size() && m_rest[start] == ' ') {
            ++start;
        }
        std::size_t comma = m_rest.find(',', start);
        if (comma == std::string_view::npos) {
            field = m_rest.substr(start);
            m_rest = {};
            m_exhausted = true;
        } else {
            field = m_rest.substr(start, comma - start);
            m_rest.remove_prefix(comma + 1);
        }
        return true;
    }

    void Text(std::string_view& out) {
        std::string_view field;
        out = Next(field) && field != "-" ? field : std::string_view();
    }

    int32_t Number() {
        std::string_view field;
        if (!Next(field) || field == "-") {
            return 0;
        }
        return LeadingNumber(field);
    }

  private:
    std::string_view m_rest;
    bool m_exhausted = false;
};

}  // namespace

CIISLogReader::CIISLogReader(CLogStream& stream, int32_t dateOrder)
    : CLogReader(stream), m_dateOrder(dateOrder), m_monthFirst(dateOrder != kIisDateDayFirst) {}

time_t CIISLogReader::DateTime(std::string_view date, std::string_view time) {
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
    CommaFields fields(line);
    std::string_view date, time, field;
    fields.Text(record.Client);
    fields.Text(record.UserName);
    if (fields.Next(date) && date == "-") {
        date = {};
    }
    if (fields.Next(time) && time == "-") {
        time = {};
    }
    record.Service = fields.Next(field) ? IisServiceCode(field) : kServiceNone;
    fields.Text(record.ServerName);
    fields.Text(record.ServerAddress);
    record.TimeTaken = fields.Number();
    record.BytesReceived = fields.Number();
    record.BytesSent = fields.Number();
    record.Status = fields.Number();
    record.Win32Status = fields.Number();
    record.Method = fields.Next(field) ? HttpMethodCode(field) : kMethodNone;
    fields.Text(record.Url);
    if (fields.Exhausted()) {
        return false;
    }
    fields.Next(field);  // the parameters
    fields.Text(record.Referer);
    fields.Text(record.AgentText);
    record.Time = DateTime(date, time);
    if ((m_dateOrder == kIisDateMonthFirst && !m_monthFirst) ||
        (m_dateOrder == kIisDateDayFirst && m_monthFirst)) {
        return false;
    }
    return true;
}
