// A small archive writer driven by one command block: given an archive name and an item list
// (quoted paths, or a directory with a wildcard, backslashes as separators), it writes a ZIP
// archive of the listed files. Used by the site backup; blocks the calling thread.
#pragma once

#include <cstdint>

// Called with the current item, a progress value (0 to 100) and the command's callback data;
// a nonzero answer asks the writer to stop (the call then fails).
using DzipStatusCallback = int (*)(const char* item, int progress, void* data);

constexpr int kDzipFailed = 9;  // the result of any failure

struct DzipCommand {
    int32_t structSize = sizeof(DzipCommand);
    const char* zipName = nullptr;   // borrowed
    const char* itemList = nullptr;  // borrowed; items separated by blanks, quoted when needed
    DzipStatusCallback statusCallback = nullptr;
    void* callbackData = nullptr;   // borrowed, handed to the callback
    int32_t recurse = 0;            // 1: wildcard items take the files of subdirectories too;
                                    // 0: every item is a file name, taken literally
    int32_t compressionFactor = 5;  // deflate level, 1 to 9
};

// Writes the archive. The new archive replaces an earlier one of the same name only when it is
// complete; on any failure (an unreadable or missing item, no room, a stop request) the earlier
// archive is left whole. Items are stored under their paths without a leading "/". "*.*" (and
// "*") match every file, with or without a dot; the archive itself is never put into itself.
// Returns 0 on success and kDzipFailed on failure.
int dzip(const DzipCommand* command);
