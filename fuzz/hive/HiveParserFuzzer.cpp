// Feeds arbitrary bytes to the settings-file parser. Besides not crashing, checks that whatever
// it reads survives its own text form: parsing the written text gives the same hive, and
// writing that again gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hive/Hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CHive hive;
    hive.Parse(data, size);
    const std::string text = hive.Serialize();

    CHive again;
    HiveParseReport report = again.Parse(text.data(), text.size());
    if (report.skippedLines != 0 || !(again == hive)) {
        std::abort();
    }
    if (again.Serialize() != text) {
        std::abort();
    }
    return 0;
}
