// Converts the calendar times of log lines, taken as local time of this machine, to seconds
// since 1970, exactly as mktime with the daylight-saving flag left to the system does, but
// calling mktime only once per hour of log time: log lines come in time order, and mktime looks
// at the time-zone file on every call when TZ is not set. One object per reader; one thread.
#pragma once

#include <ctime>

class CLocalTimeCache {
  public:
    // Seconds since 1970 of the local calendar time year-month-day hour:minute:second (fields out
    // of their ranges are carried over as mktime does); -1 when it cannot be represented, and for
    // years beyond 100000 or other fields beyond 2^24 in size.
    time_t Convert(int year, int month, int day, int hour, int minute, int second);

    // The same without any cache (one mktime call).
    static time_t Direct(int year, int month, int day, int hour, int minute, int second);

  private:
    // The hour last converted, and whether every second of it is its start plus an offset
    // (false for an hour in which the clock changes: its times go to mktime one by one).
    bool m_valid = false;
    int m_year = 0;
    int m_month = 0;
    int m_day = 0;
    int m_hour = 0;
    time_t m_hourStart = 0;
    bool m_linear = false;
};
