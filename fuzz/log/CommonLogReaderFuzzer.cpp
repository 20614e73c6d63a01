// Arbitrary bytes as a common or combined log.
#include <cstddef>
#include <cstdint>

#include "LogFuzzUtil.h"
#include "log/CommonLogReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CMemoryLogStream stream(bytes);
    CCommonLogReader reader(stream);
    reader.SetPurposeField("Sec-Purpose");
    logfuzz::Exercise(reader, stream);
    // The date rule on its own, over the first bytes.
    time_t t = 0;
    reader.ParseDate(bytes.substr(0, 40), &t);
    return 0;
}
