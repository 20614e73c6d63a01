// Arbitrary bytes as a W3C Extended log: as they are, and after a header that declares every
// known column, so that the record lines are reached however the input begins.
#include <cstddef>
#include <cstdint>
#include <string>

#include "LogFuzzUtil.h"
#include "log/W3CLogReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        CMemoryLogStream stream(bytes);
        CW3CLogReader reader(stream);
        logfuzz::Exercise(reader, stream);
    }
    std::string withHeader =
        "#Version: 1.0\n#Date: 2026-10-10 00:00:00\n#Fields: date time c-ip cs-username "
        "s-sitetime s-computername s-ip cs-method cs-uri cs-uri-stem cs-uri-query sc-status "
        "sc-win32-status sc-bytes cs-bytes time-taken s-port cs-version cs(User-Agent) "
        "cs(Cookie) cs(Referer) x-other\n";
    withHeader.append(bytes);
    CMemoryLogStream stream(withHeader);
    CW3CLogReader reader(stream);
    // The input's own directives, when it starts with some, continue the head.
    if (!bytes.starts_with("#") && reader.Fields().size() != 22) {
        std::abort();
    }
    logfuzz::Exercise(reader, stream);
    return 0;
}
