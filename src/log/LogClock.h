// The wall clock that log analysis reads for its processing-time estimate, behind an interface so
// that a test can drive it. Used on the analysis thread.
#pragma once

#include <ctime>

class CLogClock {
  public:
    virtual ~CLogClock() = default;
    // Seconds since 1970.
    virtual time_t Now() = 0;
};

// The system's clock.
class CSystemLogClock : public CLogClock {
  public:
    time_t Now() override { return time(nullptr); }
};
