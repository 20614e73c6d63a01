// Helpers of the log tests: a clock the test moves, a time zone with daylight saving, log lines
// of the common format and gzip members.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "log/LogClock.h"
#include "support/RecordingSink.h"
#include "support/Scoped.h"
#include "support/TempDir.h"

namespace logtest {

// A wall clock that moves only when the test says, or by a step at every reading.
class StepClock : public CLogClock {
  public:
    explicit StepClock(time_t start, time_t step = 0) : now(start), step(step) {}
    time_t Now() override {
        time_t t = now;
        now += step;
        return t;
    }
    time_t now;
    time_t step;
};

// Sets TZ for a test's life: local-time rules are checked in a zone with daylight saving.
class ZoneTest : public testing::Test {
  protected:
    ScopedTimeZone zone{"Europe/Berlin"};
};

// One combined-format line at the given local time.
inline std::string Line(time_t t, const std::string& client, const std::string& method,
                        const std::string& url, const std::string& referer = "-") {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm f;
    localtime_r(&t, &f);
    char date[64];
    std::snprintf(date, sizeof date, "%02d/%s/%04d:%02d:%02d:%02d +0000", f.tm_mday,
                  kMonths[f.tm_mon], f.tm_year + 1900, f.tm_hour, f.tm_min, f.tm_sec);
    return client + " - - [" + date + "] \"" + method + " " + url + " HTTP/1.1\" 200 100 \"" +
           referer + "\" \"test\"\n";
}

// The bytes as one gzip member, as gzip and logrotate write them.
inline std::string Gzip(std::string_view data) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace logtest
