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
#include <cstdio>
#include <cstring>
#include <thread>

#include "support/TempDir.h"

namespace {

// A status that waitpid reported without WUNTRACED: an exit or a signal.
std::string ExitText(int status) {
    return WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                             : "killed by signal " + std::to_string(WTERMSIG(status));
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

bool Connects(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(port);
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

CServerProcess::~CServerProcess() {
    Stop();
    if (!m_outputLog.empty() && CurrentTestFailed()) {
        std::fprintf(stderr, "--- %s ---\n%s\n", m_outputLog.c_str(),
                     TailOfFile(m_outputLog).c_str());
    }
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
    m_outputLog = outputLog;
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // The server must not outlive a test program that crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        setpgid(0, 0);
        dup2(::open("/dev/null", O_RDONLY), 0);
        dup2(log, 1);
        dup2(log, 2);
        execv(args[0], args.data());
        _exit(127);
    }
    ::close(log);
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    m_pid = pid;
    return true;
}

bool CServerProcess::Running(std::string* how) {
    int status = 0;
    if (m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_ended = ExitText(status);
        m_pid = -1;
    }
    if (m_pid <= 0 && how != nullptr) {
        *how = m_ended.empty() ? "not started" : m_ended;
    }
    return m_pid > 0;
}

void CServerProcess::Stop() {
    if (m_pid <= 0) {
        return;
    }
    // The whole process group: nginx's workers go with their master.
    for (int sig : {SIGTERM, SIGKILL}) {
        kill(-m_pid, sig);
        kill(m_pid, sig);
        if (WaitUntil([this] { return !Running(); }, 5000)) {
            return;
        }
    }
}

bool CServerProcess::StartOnFreePorts(
    int count,
    const std::function<std::vector<std::string>(const std::vector<uint16_t>&)>& configure,
    const std::string& outputLog, std::vector<uint16_t>& ports, std::string& error) {
    for (int round = 0; round < 5; ++round) {
        ports.clear();
        while (static_cast<int>(ports.size()) < count) {
            ports.push_back(FreeLoopbackPort());
            if (ports.back() == 0) {
                error = "no free loopback port";
                return false;
            }
        }
        const std::vector<std::string> argv = configure(ports);
        if (argv.empty()) {
            error = "cannot write the server's configuration";
            return false;
        }
        const std::size_t outputBefore = ReadWholeFile(outputLog).size();
        if (!Start(argv, outputLog, error)) {
            return false;
        }
        bool up = true;
        for (uint16_t port : ports) {
            up = up && WaitForPort(port, 10000, this, error);
        }
        if (up) {
            return true;
        }
        const bool ended = !Running();
        Stop();
        if (!ended || ReadWholeFile(outputLog).find("Address already in use", outputBefore) ==
                          std::string::npos) {
            break;
        }
    }
    error += "\n--- output ---\n" + TailOfFile(outputLog);
    return false;
}

bool CServerProcess::RunToEnd(const std::vector<std::string>& argv, const std::string& outputLog,
                              std::string& error, int timeoutMs) {
    if (!Start(argv, outputLog, error)) {
        return false;
    }
    WaitUntil([this] { return !Running(); }, timeoutMs);
    Stop();
    std::string how;
    Running(&how);
    if (how == "exited with status 0") {
        return true;
    }
    error = argv[0] + " failed (" + how + "): " + TailOfFile(outputLog);
    return false;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int BindLoopback(uint16_t& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = Loopback(port);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

uint16_t FreeLoopbackPort() {
    uint16_t port = 0;
    ::close(BindLoopback(port));
    return port;
}

bool WaitForPort(uint16_t port, int timeoutMs, CServerProcess* process, std::string& error) {
    std::string how;
    if (WaitUntil([&] { return Connects(port) || (process != nullptr && !process->Running(&how)); },
                  timeoutMs) &&
        how.empty()) {
        return true;
    }
    error = how.empty() ? "nothing listens on port " + std::to_string(port) + " after " +
                              std::to_string(timeoutMs) + " ms"
                        : "the server " + how + " before listening on port " + std::to_string(port);
    return false;
}

std::string TailOfFile(const std::string& path, std::size_t maxBytes) {
    std::string text = ReadWholeFile(path);
    if (text.size() > maxBytes) {
        text = "..." + text.substr(text.size() - maxBytes);
    }
    return text;
}
