// A server program that a test starts and stops: run in the background with its output going to
// a log file, killed when the test program dies, and the helpers to find a free loopback port
// and to wait until a server answers on it. Test thread only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class CServerProcess {
  public:
    CServerProcess() = default;
    // Stops the program.
    ~CServerProcess();

    CServerProcess(const CServerProcess&) = delete;
    CServerProcess& operator=(const CServerProcess&) = delete;

    // Starts program with arguments (argv[0] is program), standard output and error appended
    // to outputLog. False, with the reason in error, when it cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::string& outputLog,
               std::string& error);
    // Sends SIGTERM, waits up to a few seconds, then SIGKILL. Nothing when not running.
    void Stop();
    // Whether the program still runs; when it has ended, its exit status text goes to how.
    bool Running(std::string* how = nullptr);

  private:
    pid_t m_pid = -1;
    std::string m_ended;
};

// A loopback port that nothing listens on at the moment of asking (the kernel picks it).
// 0 when none can be had.
uint16_t FreeLoopbackPort();

// Waits until 127.0.0.1:port accepts a connection, up to timeoutMs, giving up early when
// process (if given) ends. False, with the reason in error, on failure.
bool WaitForPort(uint16_t port, int timeoutMs, CServerProcess* process, std::string& error);

// The last maxBytes of a file, for failure reports.
std::string TailOfFile(const std::string& path, std::size_t maxBytes = 8192);
