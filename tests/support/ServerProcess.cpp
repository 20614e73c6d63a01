#include "support/ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/TempDir.h"

namespace {

std::string ExitText(int status) {
    if (WIFEXITED(status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "ended";
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

}  // namespace

CServerProcess::~CServerProcess() {
    Stop();
}

bool CServerProcess::Start(const std::vector<std::string>& argv, const std::string& outputLog,
                           std::string& error) {
    Stop();
    m_ended.clear();
    if (argv.empty() || access(argv[0].c_str(), X_OK) != 0) {
        error = (argv.empty() ? std::string("(no program)") : argv[0]) +
                " cannot be run; install it with scripts/install-deps";
        return false;
    }
    int log = ::open(outputLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) {
        error = "cannot open " + outputLog + ": " + std::strerror(errno);
        return false;
    }
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        ::close(log);
        return false;
    }
    if (pid == 0) {
        // The server must not outlive a test program that crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        setpgid(0, 0);
        int devnull = ::open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(log, 1);
        dup2(log, 2);
        execv(args[0], args.data());
        _exit(127);
    }
    ::close(log);
    m_pid = pid;
    return true;
}

bool CServerProcess::Running(std::string* how) {
    if (m_pid <= 0) {
        if (how != nullptr) {
            *how = m_ended.empty() ? "not started" : m_ended;
        }
        return false;
    }
    int status = 0;
    pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
        m_ended = ExitText(status);
        m_pid = -1;
        if (how != nullptr) {
            *how = m_ended;
        }
        return false;
    }
    return true;
}

void CServerProcess::Stop() {
    if (m_pid <= 0) {
        return;
    }
    // The whole process group: nginx's workers go with their master.
    kill(-m_pid, SIGTERM);
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_ended = ExitText(status);
            m_pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_ended = ExitText(status);
        m_pid = -1;
    }
}

uint16_t FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in addr = Loopback(0);
    socklen_t len = sizeof addr;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(fd);
    return port;
}

bool WaitForPort(uint16_t port, int timeoutMs, CServerProcess* process, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        sockaddr_in addr = Loopback(port);
        int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::close(fd);
        if (rc == 0) {
            return true;
        }
        std::string how;
        if (process != nullptr && !process->Running(&how)) {
            error = "the server " + how + " before listening on port " + std::to_string(port);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = "nothing listens on port " + std::to_string(port) + " after " +
                    std::to_string(timeoutMs) + " ms";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string TailOfFile(const std::string& path, std::size_t maxBytes) {
    std::string text = ReadWholeFile(path);
    if (text.size() > maxBytes) {
        text = "..." + text.substr(text.size() - maxBytes);
    }
    return text;
}
