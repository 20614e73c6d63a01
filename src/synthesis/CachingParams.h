// The parameter block of prefetch planning and the instruction files: which files may be
// prefetched, the limits, and the form of the files. The processing run fills it from the
// agent's settings and the agent list; CSiteSynthesizer keeps a copy. A plain value.
#pragma once

#include <cstdint>
#include <string>

struct CachingParams {
    // The extensions that may be prefetched: the agent's own suffix text as typed, followed by
    // the extension lists of the file types switched on, concatenated without separators. It is
    // only ever searched for substrings (so an empty extension is found in any non-empty text).
    std::string Extensions;
    // Names with a query ("?") are prefetched exactly when this is set, whatever their extension.
    bool CacheCGI = false;
    // How many of a page's link positions are considered; -1 for no limit.
    int32_t PageLimit = -1;
    // The byte total after which no further target is chosen; -1 for no limit. 64 bits: a limit
    // in kilobytes times 1024 does not always fit 32.
    int64_t ByteLimit = -1;
    // Instruction files in plain text instead of the scrambled form.
    bool AsciiPrefetch = false;
    // The applet shows prefetched links in the browser's status bar.
    bool ShowPrefetch = false;
    // Pages also load the script loader, which is copied with the applet's files.
    bool ScriptPrefetch = false;
};
