// Writes a synthetic static site for benchmarks: N pages with about ten links and three images
// each, every 50th page a frame set, all reachable from /index.html. Pages are named the way
// ../shared/bench/genlog.py names them for the same page count, so a generated log's requests
// name this site's pages. Deterministic for a given seed. Main thread of a benchmark.
#pragma once

#include <string>

struct SiteGeneratorStats {
    int pages = 0;
    int images = 0;
    int frameSets = 0;
    long long bytes = 0;
};

// Site-relative name of page i (0 is /index.html), as the log generator names it.
std::string GeneratedPageName(int i);

// Creates the site under root (created if missing). False with a message in *error on failure.
bool GenerateSite(const std::string& root, int pages, unsigned seed, SiteGeneratorStats* stats,
                  std::string* error);
