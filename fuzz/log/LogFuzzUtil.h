// Shared checks of the log reader fuzz targets: read every record of arbitrary bytes, probe the
// time span and seek to times, and check what the readers promise.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string_view>

#include "log/LogReader.h"
#include "log/MemoryLogStream.h"

// Every target pins the zone, so that runs repeat and mktime reads no zone file.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC", 1);
    tzset();
    return 0;
}

namespace logfuzz {

// stableTimes: a line always reads as the same time. Not so for IIS logs, whose date order flag
// flips as lines are read, so that a line may read otherwise after a seek back.
inline void Exercise(CLogReader& reader, CLogStream& stream, bool stableTimes = true) {
    CLogRecord record;
    // Every line once; a record's texts lie inside the input or are constants.
    long lines = 0;
    while (!stream.Eof()) {
        if (++lines > 100000) {
            std::abort();  // each call reads at least one byte or sets the end
        }
        reader.ParseNextLine(record);
    }
    time_t first = 0, last = 0;
    if (!reader.GetTimeSpan(first, last)) {
        return;
    }
    for (time_t target : {first - 1, first, last == kLatestLogTime ? first + 1 : last - 1, last}) {
        if (reader.SeekToTime(target)) {
            if (stableTimes && (!reader.ReadRecord(record, 0) || record.Time <= target)) {
                std::abort();  // the stream must stand at a later record
            }
        }
    }
}

}  // namespace logfuzz
