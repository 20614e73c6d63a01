// Arbitrary bytes as an IIS log, in each of the three date orders.
#include <cstddef>
#include <cstdint>

#include "LogFuzzUtil.h"
#include "log/IISLogReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (int32_t order : {kIisDateAuto, kIisDateMonthFirst, kIisDateDayFirst}) {
        CMemoryLogStream stream(bytes);
        CIISLogReader reader(stream, order);
        logfuzz::Exercise(reader, stream, false);
    }
    return 0;
}
