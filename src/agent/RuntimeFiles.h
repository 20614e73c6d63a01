// Where the working directory gets the runtime files from (the applet's files and the script
// loader that every run copies into agent directories): the program's runtime folder, copied
// into the working directory on first use, file by file, never over a file already there, so
// that an operator's own files stay. Any thread; no state.
#pragma once

#include <string>

// The runtime folder: $TARVIK_RUNTIME_DIR when set and not empty (whether or not it exists);
// else the installed data folder beside the program (<prefix>/share/tarvik/runtime for
// <prefix>/bin/<program>) when it is a directory; else the build tree's runtime folder when it
// is a directory; else an empty text.
std::string FindRuntimeDir();

enum class SeedResult {
    Seeded,        // every file of the runtime folder is now in the working directory
    NoRuntimeDir,  // the runtime folder is empty text, missing or unreadable: nothing done
    Failed,        // a file could not be copied; the last message names it
};

// Copies each regular file of runtimeDir that workDir lacks into workDir (which must exist:
// Failed, naming the first file, when it is no directory). A file is written under a temporary name
// and linked into place, so the working directory never holds half a file and a file that appears
// meanwhile is kept. Failed sets "Could not copy runtime file %s into the working directory %s
// (%s)" and stops at that file; the files copied before it stay.
SeedResult SeedWorkDir(const std::string& workDir, const std::string& runtimeDir);
