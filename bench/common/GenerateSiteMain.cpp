// tarvik-gensite ROOT PAGES [SEED]: writes a synthetic site for benchmarks and demos.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SiteGenerator.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROOT PAGES [SEED]\n", argv[0]);
        return 2;
    }
    int pages = std::atoi(argv[2]);
    unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 1;
    if (pages < 1) {
        std::fprintf(stderr, "%s: PAGES must be at least 1\n", argv[0]);
        return 2;
    }
    SiteGeneratorStats stats;
    std::string error;
    if (!GenerateSite(argv[1], pages, seed, &stats, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::printf("%d pages (%d frame sets), %d images, %lld bytes in %s\n", stats.pages,
                stats.frameSets, stats.images, stats.bytes, argv[1]);
    return 0;
}
