#include "support/CannedServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/ServerProcess.h"

CCannedServer::~CCannedServer() {
    Stop();
}

bool CCannedServer::Start(const std::string& reply, bool silent) {
    Stop();
    m_reply = reply;
    m_silent = silent;
    m_listen = BindLoopback(m_port);
    if (m_listen < 0 || listen(m_listen, 16) != 0 || pipe(m_wake) != 0) {
        Stop();
        return false;
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CCannedServer::Stop() {
    if (m_thread.joinable()) {
        char byte = 0;
        (void)!write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    for (int* fd : {&m_listen, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    m_port = 0;
}

std::vector<std::string> CCannedServer::Requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void CCannedServer::Serve() {
    std::vector<int> held;  // connections a silent server keeps open
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            break;
        }
        int conn = accept(m_listen, nullptr, nullptr);
        if (conn < 0) {
            continue;
        }
        if (m_silent) {
            held.push_back(conn);
            continue;
        }
        // Read the request's head (up to the blank line), then answer and close.
        std::string request;
        char chunk[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd in[2] = {{conn, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (poll(in, 2, 5000) <= 0 || in[1].revents != 0) {
                break;
            }
            ssize_t n = read(conn, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            request.append(chunk, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request.substr(0, request.find("\r\n\r\n")));
        }
        // A blocking socket sends the whole reply in one call.
        (void)!send(conn, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
        shutdown(conn, SHUT_WR);
        close(conn);
    }
    for (int fd : held) {
        close(fd);
    }
}
