#include "log/CommonLogReader.h"

#include <cstring>
#include <string_view>

#include "base/PathRules.h"
#include "log/FieldCursor.h"
#include "log/LogFields.h"

namespace {

// The month of a three-letter name (any case); 12 for a name that is none of them.
int32_t MonthOf(std::string_view name) {
    static constexpr char kMonths[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    char lowered[3] = {ToLowerAscii(name[0]), ToLowerAscii(name[1]), ToLowerAscii(name[2])};
    for (int i = 0; i < 12; ++i) {
        if (lowered[0] == kMonths[3 * i] && lowered[1] == kMonths[3 * i + 1] &&
            lowered[2] == kMonths[3 * i + 2]) {
            return i + 1;
        }
    }
    return 12;
}

// The value of key ("name=") in rest, where key starts the text or follows a blank or a double
// quote; the value ends at a blank, a double quote or the end. Empty when key is not there.
std::string_view FieldValue(std::string_view rest, std::string_view key) {
    std::size_t from = 0;
    while (from < rest.size()) {
        std::ptrdiff_t at = FindNoCase(rest.data() + from, rest.size() - from, key);
        if (at < 0) {
            break;
        }
        std::size_t start = from + static_cast<std::size_t>(at);
        if (start == 0 || rest[start - 1] == ' ' || rest[start - 1] == '"') {
            std::string_view value = rest.substr(start + key.size());
            return value.substr(0, value.find_first_of(" \""));
        }
        from = start + 1;
    }
    return {};
}

}  // namespace

bool CCommonLogReader::ParseDate(std::string_view date, time_t* time) {
    if (date.size() < kDateLength) {
        return false;
    }
    if (m_haveLastDate && std::memcmp(date.data(), m_lastDate, kDateLength) == 0) {
        *time = m_lastTime;
        return true;
    }
    int32_t day = LeadingNumber(date.substr(0, 2));
    int32_t month = MonthOf(date.substr(3, 3));
    int32_t year = LeadingNumber(date.substr(7, 4));
    int32_t hour = LeadingNumber(date.substr(12, 2));
    int32_t minute = LeadingNumber(date.substr(15, 2));
    int32_t second = LeadingNumber(date.substr(18, 2));
    *time = LocalTimeOf(year, month, day, hour, minute, second);
    std::memcpy(m_lastDate, date.data(), kDateLength);
    m_haveLastDate = true;
    m_lastTime = *time;
    return true;
}

bool CCommonLogReader::ParseNextLine(CLogRecord& record) {
    record.Reset();
    std::string_view line;
    if (!ReadRecordLine(line)) {
        return false;
    }
    CFieldCursor fields(line);
    std::string_view field, date, request;
    record.Client = fields.Text(' ');
    fields.Field(' ', field);  // ident
    record.UserName = fields.Text(' ');
    fields.Delimited('[', ']', date);
    fields.Delimited('"', '"', request);
    record.Status = fields.Number(' ');
    if (fields.Exhausted()) {
        return false;
    }
    record.BytesSent = fields.Number(' ');
    record.Referer = fields.QuotedText();
    record.AgentText = fields.QuotedText();
    if (!m_purposeKey.empty()) {
        record.Purpose = FieldValue(fields.Rest(), m_purposeKey);
    }
    if (!ParseDate(date, &record.Time)) {
        return false;
    }
    CFieldCursor parts(request);
    record.Method = parts.Field(' ', field) ? HttpMethodCode(field) : kMethodNone;
    record.Url = parts.Text(' ');
    record.Protocol = parts.Text(' ');
    if (record.Url == "/") {
        record.Url = std::string_view("/index.html");
    }
    return true;
}
