// A server program that a test starts and stops: run in the background with its output going to
// a log file (printed when the test fails), killed when the test program dies, and the helpers to
// find a free loopback port and to wait until a server answers on it. Test thread only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CServerProcess {
  public:
    CServerProcess() = default;
    // Stops the program; prints the end of its output when the running test failed.
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

    // Starts a server on count free loopback ports and waits until it listens on all of them.
    // configure gets the ports, writes what the server needs and returns its command line (empty
    // when it cannot). A server that ends before listening because another program took a port
    // meanwhile ("Address already in use") is started again on new ports, a few times. The ports go
    // to ports; false, with the reason and the end of outputLog, in error.
    bool StartOnFreePorts(
        int count,
        const std::function<std::vector<std::string>(const std::vector<uint16_t>&)>& configure,
        const std::string& outputLog, std::vector<uint16_t>& ports, std::string& error);
    // Runs a short program to its end (killed after timeoutMs). False, with how it ended and its
    // output in error, unless it exited with status 0.
    bool RunToEnd(const std::vector<std::string>& argv, const std::string& outputLog,
                  std::string& error, int timeoutMs = 10000);

  private:
    pid_t m_pid = -1;
    std::string m_ended;
    std::string m_outputLog;
};

// Calls done every few milliseconds until it returns true (then true) or timeoutMs passed.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// A TCP socket bound to 127.0.0.1:port (port 0: the kernel picks one, written back to port).
// -1 when it cannot be had.
int BindLoopback(uint16_t& port);

// A loopback port that nothing listens on at the moment of asking (the kernel picks it).
// 0 when none can be had.
uint16_t FreeLoopbackPort();

// Waits until 127.0.0.1:port accepts a connection, up to timeoutMs, giving up early when
// process (if given) ends. False, with the reason in error, on failure.
bool WaitForPort(uint16_t port, int timeoutMs, CServerProcess* process, std::string& error);

// The last maxBytes of a file, for failure reports.
std::string TailOfFile(const std::string& path, std::size_t maxBytes = 8192);
