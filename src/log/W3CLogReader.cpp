#include "log/W3CLogReader.h"

#include <cstring>

#include "base/PathRules.h"
#include "log/LogFields.h"

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

// Splits a line at runs of spaces and tabs. padded: the text has kLinePadding readable bytes
// after it, so that the separators can be searched for many bytes at a time.
class Tokens {
  public:
    explicit Tokens(std::string_view text, bool padded = false) : m_rest(text), m_padded(padded) {}

    bool Next(std::string_view& token) {
        std::size_t start = 0;
        while (start < m_rest.size() && IsSeparator(m_rest[start])) {
            ++start;
        }
        if (start == m_rest.size()) {
            m_rest = {};
            return false;
        }
        std::size_t end = start;
        if (m_padded) {
            const char* last = m_rest.data() + m_rest.size();
            const char* at = FindEitherByte(m_rest.data() + start, last, ' ', '\t');
            end = static_cast<std::size_t>((at ? at : last) - m_rest.data());
        } else {
            while (end < m_rest.size() && !IsSeparator(m_rest[end])) {
                ++end;
            }
        }
        token = m_rest.substr(start, end - start);
        m_rest.remove_prefix(end);
        return true;
    }

  private:
    std::string_view m_rest;
    bool m_padded;
};

// The number of characters [from, from + count) of text, or 0 when text is shorter than from.
int32_t NumberAt(std::string_view text, std::size_t from, std::size_t count) {
    return from < text.size() ? LeadingNumber(text.substr(from, count)) : 0;
}

}  // namespace

W3CField W3CFieldOf(std::string_view name) {
    struct Column {
        std::string_view name;
        W3CField id;
    };
    static constexpr Column kColumns[] = {
        {"date", kW3CDate},
        {"time", kW3CTime},
        {"c-ip", kW3CClientIp},
        {"cs-username", kW3CUserName},
        {"s-sitetime", kW3CSiteTime},
        {"s-computername", kW3CComputerName},
        {"s-ip", kW3CServerIp},
        {"cs-method", kW3CMethod},
        {"cs-uri", kW3CUri},
        {"cs-uri-stem", kW3CUriStem},
        {"cs-uri-query", kW3CUriQuery},
        {"sc-status", kW3CStatus},
        {"sc-win32-status", kW3CWin32Status},
        {"sc-bytes", kW3CBytesSent},
        {"cs-bytes", kW3CBytesReceived},
        {"time-taken", kW3CTimeTaken},
        {"s-port", kW3CPort},
        {"cs-version", kW3CVersion},
        {"cs(User-Agent)", kW3CUserAgent},
        {"cs(Cookie)", kW3CCookie},
        {"cs(Referer)", kW3CReferer},
        {"cs(Sec-Purpose)", kW3CPurpose},
        {"cs(Purpose)", kW3CPurpose},
    };
    for (const Column& column : kColumns) {
        if (EqualsNoCase(name, column.name)) {
            return column.id;
        }
    }
    return kW3CUnknown;
}

CW3CLogReader::CW3CLogReader(CLogStream& stream) : CLogReader(stream) {
    ReadHeader();
}

bool CW3CLogReader::ReadHeader() {
    int64_t position = m_stream.Tell();
    m_stream.Rewind();
    char buffer[kRecordLineSize];
    std::size_t length = 0;
    while (ReadLine(buffer, sizeof buffer, &length) != nullptr && length > 0 && buffer[0] == '#') {
        ReadDirective(std::string_view(buffer, length));
    }
    m_stream.Seek(position, SEEK_SET);
    return true;
}

time_t CW3CLogReader::DateOf(std::string_view text) {
    return LocalTimeOf(NumberAt(text, 0, 4), NumberAt(text, 5, 2), NumberAt(text, 8, 2), 0, 0, 0);
}

void CW3CLogReader::ReadDirective(std::string_view line) {
    if (StartsWithNoCase(line, "#fields:")) {
        m_fields.clear();
        Tokens names(line.substr(8));
        std::string_view name;
        while (names.Next(name)) {
            m_fields.push_back(W3CFieldOf(name));
        }
    } else if (StartsWithNoCase(line, "#date:")) {
        Tokens tokens(line.substr(6));
        std::string_view date;
        if (tokens.Next(date)) {
            m_defaultDate = DateOf(date);
        }
    }
}

bool CW3CLogReader::ParseNextLine(CLogRecord& record) {
    record.Reset();
    std::string_view line;
    if (!ReadRecordLine(line)) {
        return false;
    }
    if (!line.empty() && line[0] == '#') {
        return false;
    }
    if (m_fields.empty()) {
        return false;
    }
    std::string_view date, time, stem, query;
    Tokens tokens(line, true);
    for (W3CField field : m_fields) {
        std::string_view token;
        if (!tokens.Next(token)) {
            return false;
        }
        // A column starting with "-" is empty (0 as a number).
        if (token[0] == '-') {
            token = {};
        }
        switch (field) {
            case kW3CDate:
                date = token;
                break;
            case kW3CTime:
                time = token;
                break;
            case kW3CClientIp:
                record.Client = token;
                break;
            case kW3CUserName:
                record.UserName = token;
                break;
            case kW3CComputerName:
                record.ServerName = token;
                break;
            case kW3CServerIp:
                record.ServerAddress = token;
                break;
            case kW3CMethod:
                record.Method = token.empty() ? kMethodNone : HttpMethodCode(token);
                break;
            case kW3CUri:
                record.Url = token;
                break;
            case kW3CUriStem:
                stem = token;
                break;
            case kW3CUriQuery:
                query = token;
                break;
            case kW3CStatus:
                record.Status = LeadingNumber(token);
                break;
            case kW3CWin32Status:
                record.Win32Status = LeadingNumber(token);
                break;
            case kW3CBytesSent:
                record.BytesSent = LeadingNumber(token);
                break;
            case kW3CBytesReceived:
                record.BytesReceived = LeadingNumber(token);
                break;
            case kW3CCookie:
                record.AgentText = token;
                break;
            case kW3CReferer:
                record.Referer = token;
                break;
            case kW3CPurpose:
                record.Purpose = token;
                break;
            default:
                break;
        }
    }
    if (record.Url.empty()) {
        if (query.empty()) {
            record.Url = stem;
        } else {
            record.ComposeUrl(stem, query);
        }
    }
    time_t base = m_defaultDate;
    if (date.size() == sizeof m_lastDate) {
        if (!m_haveLastDate || std::memcmp(date.data(), m_lastDate, sizeof m_lastDate) != 0) {
            std::memcpy(m_lastDate, date.data(), sizeof m_lastDate);
            m_lastMidnight = DateOf(date);
            m_haveLastDate = true;
        }
        base = m_lastMidnight;
    }
    int32_t hours = time.size() >= 2 ? NumberAt(time, 0, 2) : 0;
    int32_t minutes = time.size() >= 5 ? NumberAt(time, 3, 2) : 0;
    int32_t seconds = time.size() >= 8 ? NumberAt(time, 6, 2) : 0;
    record.Time = base + hours * 3600 + minutes * 60 + seconds;
    return true;
}
