// Arbitrary directive lines: the column list and the default date they set.
#include <cstddef>
#include <cstdint>
#include <string>

#include "LogFuzzUtil.h"
#include "log/W3CLogReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CMemoryLogStream empty("");
    CW3CLogReader reader(empty);
    for (const char* prefix : {"", "#Fields:", "#Date:", "#fields: ", "#DATE: "}) {
        std::string line = std::string(prefix) + std::string(bytes);
        reader.ReadDirective(line);
        for (W3CField field : reader.Fields()) {
            if (field < kW3CUnknown || field > kW3CReferer) {
                std::abort();
            }
        }
    }
    return 0;
}
