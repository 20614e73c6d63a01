// A loopback TCP server that answers every connection with one fixed reply, for the answers a
// real server will not give on demand: a header in unusual case, a misleading field, or no
// answer at all (a server that hangs). It reads the request's head, sends the reply and closes
// the connection. Runs a thread of its own; start and stop it from the test thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CCannedServer {
  public:
    CCannedServer() = default;
    ~CCannedServer();

    // Listens on 127.0.0.1 on a free port. With silent set the server accepts connections and
    // holds them open without ever answering. False when it cannot listen.
    bool Start(const std::string& reply, bool silent = false);
    // Closes every connection and stops the thread.
    void Stop();

    uint16_t Port() const { return m_port; }
    // The requests received so far (their heads), in order.
    std::vector<std::string> Requests();

  private:
    void Serve();

    std::string m_reply;
    bool m_silent = false;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
};
