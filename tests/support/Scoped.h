// Process-wide settings a test changes for its own life and gives back: the time zone and the
// file-size limit (a disk that fills up). Test thread only.
#pragma once

#include <sys/resource.h>

#include <optional>
#include <string>

// TZ set to zone (and tzset called) until the object dies; then TZ is as it was.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> m_old;
};

// Writes past bytes fail with EFBIG (SIGXFSZ ignored) until the object dies.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    struct rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

// f() run under a file-size limit of bytes; what it returns.
template <class F>
auto WithFileSizeLimit(rlim_t bytes, F f) {
    ScopedFileSizeLimit limit(bytes);
    return f();
}
