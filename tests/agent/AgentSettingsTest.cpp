#include "agent/AgentSettings.h"

#include <gtest/gtest.h>

#include "support/Scoped.h"

namespace {

// Local-time rules are checked in a zone with daylight saving.
class AgentSettingsTest : public testing::Test {
  protected:
    ScopedTimeZone zone{"Europe/Berlin"};
};

// A fresh agent's range starts a year before it was made, to the second; from 29 February, on
// the first of March.
TEST_F(AgentSettingsTest, DefaultStartTimeIsAYearBack) {
    const time_t cases[][2] = {
        {LocalTime(2026, 12, 6, 14, 30, 15), LocalTime(2025, 12, 6, 14, 30, 15)},
        {LocalTime(2024, 2, 29, 10, 0, 0), LocalTime(2023, 3, 1, 10, 0, 0)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CAgentSettings(c[0]).StartTime, c[1]) << c[0];
    }
}

TEST_F(AgentSettingsTest, TimeRanges) {
    const time_t now = LocalTime(2026, 6, 15, 12, 0, 0);
    CAgentSettings a(now);
    a.StartTime = 1000;
    a.EndTime = 2000;
    // All log files; a year, half a year, a month, a week, a day, an hour back; the range given.
    const time_t starts[] = {LocalTime(1971, 1, 1, 0, 0, 0),
                             now - 31536000,
                             now - 15724800,
                             now - 2592000,
                             now - 604800,
                             now - 86400,
                             now - 3600,
                             1000};
    for (int range = 0; range < 8; ++range) {
        a.StatRange = range;
        time_t s = 0, e = 0;
        a.GetTimeRange(now, &s, &e);
        EXPECT_EQ(s, starts[range]) << "range " << range;
        EXPECT_EQ(e, range == kRangeSpecify ? 2000 : now + 3600) << "range " << range;
    }
}

}  // namespace
