#include "log/CommonLogReader.h"

#include <cstring>
#include <string_view>

#include "log/LogFields.h"
#include "sitemap/PathRules.h"

namespace {

// Takes space-separated fields, and fields between delimiters, from a line held in a buffer with
// kLinePadding bytes after it. A field ended by the end of the line exhausts the cursor; an
// exhausted cursor yields missing fields.
class SpaceFields {
  public:
    explicit SpaceFields(std::string_view line) : m_rest(line) {}

    bool Exhausted() const { return m_exhausted; }

    // A plain field: leading spaces skipped, up to the next space or the end of the line.
    bool Plain(std::string_view& field) {
        field = {};
        if (m_exhausted) {
            return false;
        }
        std::size_t start = 0;
        while (start < m_rest.size() && m_rest[start] == ' ') {
            ++start;
        }
        return Take(start, ' ', field);
    }

    // A field from behind the next open character up to the close character or the end of the
    // line; missing (and the cursor exhausted) when there is no open character.
    bool Delimited(char open, char close, std::string_view& field) {
        field = {};
        if (m_exhausted) {
            return false;
        }
        const char* at = FindByte(m_rest.data(), m_rest.data() + m_rest.size(), open);
        if (at == nullptr) {
            m_rest = {};
            m_exhausted = true;
            return false;
        }
        std::size_t start = static_cast<std::size_t>(at - m_rest.data());
        return Take(start + 1, close, field);
    }

    void PlainText(std::string_view& out) {
        std::string_view field;
        Assign(Plain(field), field, out);
    }

    void QuotedText(std::string_view& out) {
        std::string_view field;
        Assign(Delimited('"', '"', field), field, out);
    }

    int32_t Number() {
        std::string_view field;
        if (!Plain(field) || field == "-") {
            return 0;
        }
        return LeadingNumber(field);
    }

  private:
    bool Take(std::size_t start, char end, std::string_view& field) {
        const char* from = m_rest.data() + start;
        std::size_t left = m_rest.size() - start;
        const char* at = FindByte(from, from + left, end);
        if (at == nullptr) {
            field = std::string_view(from, left);
            m_rest = {};
            m_exhausted = true;
        } else {
            std::size_t n = static_cast<std::size_t>(at - from);
            field = std::string_view(from, n);
            m_rest.remove_prefix(start + n + 1);
        }
        return true;
    }

    static void Assign(bool present, std::string_view field, std::string_view& out) {
        out = present && field != "-" ? field : std::string_view();
    }

    std::string_view m_rest;
    bool m_exhausted = false;
};

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
    SpaceFields fields(line);
    std::string_view field, date, request;
    fields.PlainText(record.Client);
    fields.Plain(field);  // ident
    fields.PlainText(record.UserName);
    fields.Delimited('[', ']', date);
    fields.Delimited('"', '"', request);
    record.Status = fields.Number();
    if (fields.Exhausted()) {
        return false;
    }
    record.BytesSent = fields.Number();
    fields.QuotedText(record.Referer);
    fields.QuotedText(record.AgentText);
    if (!ParseDate(date, &record.Time)) {
        return false;
    }
    SpaceFields parts(request);
    record.Method = parts.Plain(field) ? HttpMethodCode(field) : kMethodNone;
    parts.PlainText(record.Url);
    parts.PlainText(record.Protocol);
    if (record.Url == "/") {
        record.Url = std::string_view("/index.html");
    }
    return true;
}
