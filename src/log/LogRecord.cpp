#include "log/LogRecord.h"

#include "sitemap/PathRules.h"

int32_t HttpMethodCode(std::string_view text) {
    if (text == "-") {
        return kMethodNone;
    }
    struct Name {
        std::string_view text;
        int32_t code;
    };
    static constexpr Name kNames[] = {{"get", kMethodGet},       {"head", kMethodHead},
                                      {"post", kMethodPost},     {"put", kMethodPut},
                                      {"delete", kMethodDelete}, {"trace", kMethodTrace}};
    for (const Name& name : kNames) {
        if (EqualsNoCase(text, name.text)) {
            return name.code;
        }
    }
    return kMethodOther;
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
}

void CLogRecord::ComposeUrl(std::string_view stem, std::string_view query) {
    m_url.assign(stem);
    if (!query.empty()) {
        m_url += '?';
        m_url.append(query);
    }
    Url = m_url;
}
