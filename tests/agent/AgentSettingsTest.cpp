#include "agent/AgentSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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
    time_t now = LocalTime(2026, 6, 15, 12, 0, 0);
    struct Case {
        int range;
        time_t start;
        time_t end;
    };
    CAgentSettings a(now);
    a.StartTime = 1000;
    a.EndTime = 2000;
    const Case cases[] = {
        {0, LocalTime(1971, 1, 1, 0, 0, 0), now + 3600},
        {1, now - 31536000, now + 3600},
        {2, now - 15724800, now + 3600},
        {3, now - 2592000, now + 3600},
        {4, now - 604800, now + 3600},
        {5, now - 86400, now + 3600},
        {6, now - 3600, now + 3600},
        {7, 1000, 2000},
    };
    for (const auto& c : cases) {
        a.StatRange = c.range;
        time_t s = 0, e = 0;
        a.GetTimeRange(now, &s, &e);
        EXPECT_EQ(s, c.start) << "range " << c.range;
        EXPECT_EQ(e, c.end) << "range " << c.range;
    }
}

}  // namespace
