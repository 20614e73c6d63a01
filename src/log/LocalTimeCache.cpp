#include "log/LocalTimeCache.h"

#include "agent/AgentSettings.h"

namespace {

// Years mktime is asked about, and the largest other field; outside them (a garbled log line)
// the answer is -1 without asking, which also keeps year - 1900, month - 1 and mktime's own
// arithmetic far from overflowing.
constexpr int kLowestYear = -100000;
constexpr int kHighestYear = 100000;
constexpr int kLargestField = 1 << 24;

bool Within(int value) {
    return value >= -kLargestField && value <= kLargestField;
}

}  // namespace

time_t CLocalTimeCache::Direct(int year, int month, int day, int hour, int minute, int second) {
    if (year < kLowestYear || year > kHighestYear || !Within(month) || !Within(day) ||
        !Within(hour) || !Within(minute) || !Within(second)) {
        return -1;
    }
    return LocalTime(year, month, day, hour, minute, second);
}

time_t CLocalTimeCache::Convert(int year, int month, int day, int hour, int minute, int second) {
    bool ordinary = month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour <= 23 &&
                    minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
    if (!ordinary) {
        return Direct(year, month, day, hour, minute, second);
    }
    if (!m_valid || year != m_year || month != m_month || day != m_day || hour != m_hour) {
        time_t start = Direct(year, month, day, hour, 0, 0);
        time_t last = Direct(year, month, day, hour, 59, 59);
        m_valid = true;
        m_year = year;
        m_month = month;
        m_day = day;
        m_hour = hour;
        m_hourStart = start;
        m_linear = start != -1 && last != -1 && last - start == 3599;
    }
    if (!m_linear) {
        return Direct(year, month, day, hour, minute, second);
    }
    return m_hourStart + minute * 60 + second;
}
