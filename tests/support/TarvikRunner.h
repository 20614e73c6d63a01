// Runs the built tarvik command as a process of its own, the way scripts run it: arguments,
// environment, standard input and a file-size limit in; exit status, stdout and stderr out.
// Test thread only.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

struct TarvikResult {
    int status = -1;  // the exit status; -1 when the process did not exit by itself
    std::string out;
    std::string err;
    // The last line of stderr, without its line break (where the error message goes).
    std::string LastErrorLine() const;
};

struct TarvikCall {
    TarvikCall(std::vector<std::string> a, std::vector<std::string> e = {})
        : args(std::move(a)), env(std::move(e)) {}
    std::vector<std::string> args;  // after the program name
    // NAME=VALUE pairs added to the fixed environment PATH=/usr/bin:/bin, TZ=UTC and
    // ASAN_OPTIONS=detect_leaks=1 (later pairs win); nothing else is inherited.
    std::vector<std::string> env;
    // A file or terminal opened read-write as standard input (ptsname's, say); empty: /dev/null.
    std::string input;
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

// Starts tarvik; its stdout and stderr go to outputs + ".out" and outputs + ".err". The process
// id, or -1 when it could not be started.
pid_t StartTarvik(const TarvikCall& call, const std::string& outputs);
// Waits for the process started with those outputs and collects what it wrote.
TarvikResult FinishTarvik(pid_t pid, const std::string& outputs);
// Both at once.
TarvikResult RunTarvik(const TarvikCall& call, const std::string& outputs);
