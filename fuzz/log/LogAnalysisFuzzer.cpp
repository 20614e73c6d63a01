// Arbitrary bytes through the whole record loop with format detection into a page graph (with a
// deployed loader and a purpose field), and
// the line reading of the stream compared with its in-place variant.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "LogFuzzUtil.h"
#include "log/LogAnalyzer.h"
#include "log/LogFiles.h"
#include "sitemap/SiteMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // ReadLine and ReadLineView give the same lines and positions.
    {
        CMemoryLogStream a(bytes);
        CMemoryLogStream b(bytes);
        std::vector<char> buffer(64), viewBuffer(64 + kLinePadding);
        std::size_t length = 0;
        std::string_view line;
        for (;;) {
            const char* got = a.ReadLine(buffer.data(), buffer.size(), &length);
            bool viewed = b.ReadLineView(viewBuffer.data(), 64, kLinePadding, line);
            if ((got != nullptr) != viewed || a.Tell() != b.Tell() || a.Eof() != b.Eof()) {
                std::abort();
            }
            if (!got) {
                break;
            }
            if (std::string_view(got, length) != line) {
                std::abort();
            }
        }
    }
    CSiteMap map("index.html");
    map.SetDecay(kLogDecayPeriod, DecayFactorOf(2));
    CLogAnalyzer analyzer(map, "www.example.com", 0, kLatestLogTime - 1, nullptr);
    // A deployed loader: two pages whose lists name each other, the second in two parts.
    static const CLoaderDirectory loader = [] {
        CLoaderDirectory d("/tarvik");
        d.AddFetchFile("/tarvik/fetch0x0.qvf", "/index.html", {"/a.html", "/i.gif"});
        d.AddFetchFile("/tarvik/fetch1x0.qvf", "/a.html", {"/tarvik/fetch1x1.qvf", "/index.html"});
        d.AddFetchFile("/tarvik/fetch1x1.qvf", "/a.html", {"/b.html"});
        return d;
    }();
    analyzer.SetLoader(&loader, 120);
    analyzer.SetPurposeField("Sec-Purpose");
    CMemoryLogStream stream(bytes);
    analyzer.SetFileSize(static_cast<int64_t>(size));
    int64_t position = 0;
    const LogReadResult result = analyzer.ProcessLogStream(stream, kLogAutoDetect, position);
    if (result.hits < 0 || (result.outcome == LogReadResult::Read && position != stream.Tell())) {
        std::abort();
    }
    // Every link points into the graph; every weight is a count after decay.
    for (const auto& page : map.Pages()) {
        for (const auto& link : page->Links) {
            if (map.FindPage(link->Target->Name) == nullptr || !(link->Weight >= 0.0)) {
                std::abort();
            }
        }
    }
    return 0;
}
