// The per-hour conversion of calendar times gives exactly what mktime gives, across daylight
// saving changes (also half-hour ones) and past 2038.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "log/LocalTimeCache.h"
#include "support/Scoped.h"

namespace {

class LocalTimeCacheTest : public testing::TestWithParam<const char*> {
  protected:
    ScopedTimeZone zone{GetParam()};
};

TEST_P(LocalTimeCacheTest, AgreesWithMktimeSecondBySecondAroundTheYear) {
    CLocalTimeCache cache;
    std::mt19937 random(11);
    // Times in order, as a log has them, a few per hour over two years, and every minute of the
    // days on which the clock changes.
    for (int year : {2026, 2041}) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 28; ++day) {
                for (int hour = 0; hour < 24; ++hour) {
                    bool dense =
                        (month == 3 || month == 10 || month == 4 || month == 11) && day <= 14;
                    int samples = dense ? 60 : 2;
                    for (int i = 0; i < samples; ++i) {
                        int minute = dense ? i : static_cast<int>(random() % 60);
                        int second = static_cast<int>(random() % 60);
                        time_t direct =
                            CLocalTimeCache::Direct(year, month, day, hour, minute, second);
                        ASSERT_EQ(cache.Convert(year, month, day, hour, minute, second), direct)
                            << year << "-" << month << "-" << day << " " << hour << ":" << minute
                            << ":" << second;
                    }
                }
            }
        }
    }
}

TEST_P(LocalTimeCacheTest, FieldsOutOfRangeAreCarriedOverAsMktimeDoes) {
    CLocalTimeCache cache;
    EXPECT_EQ(cache.Convert(2026, 2, 31, 10, 0, 0), CLocalTimeCache::Direct(2026, 3, 3, 10, 0, 0));
    EXPECT_EQ(cache.Convert(2026, 13, 1, 0, 0, 0), CLocalTimeCache::Direct(2027, 1, 1, 0, 0, 0));
    EXPECT_EQ(cache.Convert(2026, 5, 1, 25, 61, 70), CLocalTimeCache::Direct(2026, 5, 2, 2, 2, 10));
    EXPECT_EQ(cache.Convert(2026, 0, 0, 0, 0, 0), CLocalTimeCache::Direct(2025, 11, 30, 0, 0, 0));
    // Years far outside any log cannot be represented.
    EXPECT_EQ(cache.Convert(2147483647, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(cache.Convert(-2147483647 - 1, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(cache.Convert(2026, -2147483647 - 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(cache.Convert(2026, 1, 2147483647, 0, 0, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTimeCacheTest,
                         testing::Values("Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                                         "UTC"));

}  // namespace
