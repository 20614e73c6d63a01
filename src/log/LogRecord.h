// One parsed hit of an access log, as every log reader fills it, and the codes of its request
// method and IIS service fields. A plain value; the reader that fills it and the analysis that
// reads it run on the same thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// Request method codes (names compared without regard to case).
enum HttpMethod : int32_t {
    kMethodGet = 0,
    kMethodHead = 1,
    kMethodPost = 2,
    kMethodPut = 3,
    kMethodOther = 4,
    kMethodDelete = 5,
    kMethodTrace = 6,
    kMethodNone = 7,  // field absent or "-"
};

// IIS service codes (names compared without regard to case).
enum IisService : int32_t {
    kServiceWww = 0,     // "w3svc"
    kServiceGopher = 1,  // "gophersvc"
    kServiceFtp = 2,     // "ftpsvc", "msftpsvc"
    kServiceOther = 3,
    kServiceNone = 4,  // field absent or "-"
};

// The code of a method field that is present: "-" gives kMethodNone, a name that is none of the
// six known ones kMethodOther.
int32_t HttpMethodCode(std::string_view text);
// The code of a service field that is present: "-" gives kServiceNone, an unknown name (also one
// with an instance number, such as "W3SVC1") kServiceOther.
int32_t IisServiceCode(std::string_view text);

// The texts view the line they were read from (or constant texts): they stay valid until the
// reader that filled the record reads its next line, which is all the record loop needs and
// spares a copy of every field of every line. Copy a text into a std::string to keep it longer.
class CLogRecord {
  public:
    CLogRecord() = default;
    CLogRecord(const CLogRecord&) = delete;
    CLogRecord& operator=(const CLogRecord&) = delete;

    // Back to the reset values: empty texts, codes "absent", numbers -1, time 0.
    void Reset();

    // Sets Url to stem, followed by "?" and query when query is not empty, kept in the record's
    // own storage (its old contents must not be viewed any more). Allocates only when the storage
    // grows.
    void ComposeUrl(std::string_view stem, std::string_view query);

    std::string_view Client;  // identifies the visitor
    std::string_view UserName;
    int32_t Service = kServiceNone;
    std::string_view ServerAddress;
    std::string_view ServerName;
    time_t Time = 0;  // seconds since 1970, from a calendar time taken as local time
    int32_t TimeTaken = -1;
    int32_t BytesReceived = -1;
    int32_t BytesSent = -1;
    int32_t Status = -1;
    int32_t Win32Status = -1;
    int32_t Method = kMethodNone;
    std::string_view Url;
    std::string_view Referer;
    std::string_view Protocol;
    std::string_view AgentText;  // the trailing optional text of the format
    std::string_view Purpose;    // why the client asked ("prefetch"), where the log records it

  private:
    std::string m_url;  // Url when ComposeUrl made it
};
