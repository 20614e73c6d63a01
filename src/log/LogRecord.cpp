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
    Client.clear();
    UserName.clear();
    Service = kServiceNone;
    ServerAddress.clear();
    ServerName.clear();
    Time = 0;
    TimeTaken = -1;
    BytesReceived = -1;
    BytesSent = -1;
    Status = -1;
    Win32Status = -1;
    Method = kMethodNone;
    Url.clear();
    Referer.clear();
    Protocol.clear();
    AgentText.clear();
}
