#include "log/LogRecord.h"

#include "base/PathRules.h"

namespace {

// Equal to a lower-case ASCII word, ignoring the case of text's letters.
bool IsWord(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lower[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t HttpMethodCode(std::string_view text) {
    // By length first: this runs for every line of a log.
    switch (text.size()) {
        case 1:
            return text[0] == '-' ? kMethodNone : kMethodOther;
        case 3:
            return IsWord(text, "get")   ? kMethodGet
                   : IsWord(text, "put") ? kMethodPut
                                         : kMethodOther;
        case 4:
            return IsWord(text, "head")   ? kMethodHead
                   : IsWord(text, "post") ? kMethodPost
                                          : kMethodOther;
        case 5:
            return IsWord(text, "trace") ? kMethodTrace : kMethodOther;
        case 6:
            return IsWord(text, "delete") ? kMethodDelete : kMethodOther;
        default:
            return kMethodOther;
    }
}

int32_t IisServiceCode(std::string_view text) {
    if (text == "-") {
        return kServiceNone;
    }
    if (EqualsNoCase(text, "w3svc")) {
        return kServiceWww;
    }
    if (EqualsNoCase(text, "gophersvc")) {
        return kServiceGopher;
    }
    if (EqualsNoCase(text, "ftpsvc") || EqualsNoCase(text, "msftpsvc")) {
        return kServiceFtp;
    }
    return kServiceOther;
}

void CLogRecord::Reset() {
    Client = {};
    UserName = {};
    Service = kServiceNone;
    ServerAddress = {};
    ServerName = {};
    Time = 0;
    TimeTaken = -1;
    BytesReceived = -1;
    BytesSent = -1;
    Status = -1;
    Win32Status = -1;
    Method = kMethodNone;
    Url = {};
    Referer = {};
    Protocol = {};
    AgentText = {};
    Purpose = {};
}

void CLogRecord::ComposeUrl(std::string_view stem, std::string_view query) {
    m_url.assign(stem);
    if (!query.empty()) {
        m_url += '?';
        m_url.append(query);
    }
    Url = m_url;
}
