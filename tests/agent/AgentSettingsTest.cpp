#include "agent/AgentSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "sitemap/SiteMap.h"
#include "support/Scoped.h"

namespace {

// Local-time rules are checked in a zone with daylight saving.
class AgentSettingsTest : public testing::Test {
  protected:
    ScopedTimeZone zone{"Europe/Berlin"};
    static struct tm Local(time_t t) {
        struct tm fields;
        localtime_r(&t, &fields);
        return fields;
    }
};

// A fresh agent's range starts a year before it was made, to the second.
TEST_F(AgentSettingsTest, DefaultStartTimeIsAYearBack) {
    time_t now = LocalTime(2026, 12, 6, 14, 30, 15);
    CAgentSettings a(now);
    struct tm start = Local(a.StartTime);
    EXPECT_EQ(start.tm_year + 1900, 2025);
    EXPECT_EQ(start.tm_mon, 11);
    EXPECT_EQ(start.tm_mday, 6);
    EXPECT_EQ(start.tm_hour, 14);
    EXPECT_EQ(start.tm_min, 30);
    EXPECT_EQ(start.tm_sec, 15);
}

TEST_F(AgentSettingsTest, StartTimeOf29FebruaryIsFirstOfMarch) {
    CAgentSettings a(LocalTime(2024, 2, 29, 10, 0, 0));
    struct tm start = Local(a.StartTime);
    EXPECT_EQ(start.tm_year + 1900, 2023);
    EXPECT_EQ(start.tm_mon, 2);
    EXPECT_EQ(start.tm_mday, 1);
    EXPECT_EQ(start.tm_hour, 10);
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

TEST_F(AgentSettingsTest, MovesCarryTheGraphAndCopiesLeaveIt) {
    CAgentSettings a;
    a.Description = "shop";
    a.SiteMap = std::make_unique<CSiteMap>("index.html");
    a.SiteMap->AddPage("/index.html");
    CSiteMap* graph = a.SiteMap.get();

    CAgentSettings moved(std::move(a));
    EXPECT_EQ(moved.SiteMap.get(), graph);
    EXPECT_EQ(moved.Description, "shop");

    CAgentSettings copy;
    copy.SiteMap = std::make_unique<CSiteMap>("other.html");
    CSiteMap* own = copy.SiteMap.get();
    copy.AssignSettings(moved);
    EXPECT_EQ(copy.Description, "shop");
    EXPECT_EQ(copy.SiteMap.get(), own);
    EXPECT_EQ(moved.SiteMap.get(), graph);
    // Both graphs are deleted with their records (LeakSanitizer checks).
}

}  // namespace
