// Arbitrary bytes as a compressed log: the decompressed lines read the same after seeks back and
// forth (which restart the decompression), the size is where reading ends, and a reader works
// over the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "LogFuzzUtil.h"
#include "log/CommonLogReader.h"
#include "log/GzipLogStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CGzipLogStream stream;
    if (!stream.OpenMemory(bytes)) {
        return 0;
    }
    std::vector<std::pair<int64_t, std::string>> lines;
    char buffer[512];
    std::size_t length = 0;
    for (int64_t start = stream.Tell(); stream.ReadLine(buffer, sizeof buffer, &length);
         start = stream.Tell()) {
        lines.emplace_back(start, std::string(buffer, length));
    }
    if (stream.Size() != stream.Tell()) {
        std::abort();  // the size is where the readable data ends
    }
    // Backwards, so that every seek goes back; every few lines at most.
    std::size_t step = lines.size() / 50 + 1;
    for (std::size_t i = lines.size(); i >= step; i -= step) {
        const auto& [start, text] = lines[i - step];
        if (!stream.Seek(start, SEEK_SET) || !stream.ReadLine(buffer, sizeof buffer, &length) ||
            std::string_view(buffer, length) != text) {
            std::abort();
        }
    }
    stream.Rewind();
    CCommonLogReader reader(stream);
    logfuzz::Exercise(reader, stream);
    return 0;
}
