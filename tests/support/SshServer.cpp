#include "support/SshServer.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace {

// Runs a short program to its end; the failure names it, with its output.
testing::AssertionResult RunToEnd(const std::vector<std::string>& argv, const std::string& log) {
    CServerProcess process;
    std::string error;
    if (!process.Start(argv, log, error)) {
        return testing::AssertionFailure() << argv[0] << ": " << error;
    }
    std::string how;
    for (int i = 0; i < 1000 && process.Running(&how); ++i) {
        usleep(10000);
    }
    if (how != "exited with status 0") {
        return testing::AssertionFailure()
               << argv[0] << " failed (" << how << "): " << TailOfFile(log);
    }
    return testing::AssertionSuccess();
}

}  // namespace

CSshServer::CSshServer() : m_dir("sshd") {
    const passwd* account = getpwuid(getuid());
    m_user = account != nullptr ? account->pw_name : "";
}

CSshServer::~CSshServer() {
    Stop();
    if (CurrentTestFailed()) {
        std::fprintf(stderr, "--- sshd log (%s) ---\n%s\n", m_dir.Path().c_str(),
                     TailOfFile(m_dir / "sshd.out").c_str());
    }
}

std::string CSshServer::Address() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

int CSshServer::CountLogins() const {
    const std::string log = ReadWholeFile(m_dir / "sshd.out");
    int count = 0;
    for (std::size_t at = log.find("Accepted publickey for "); at != std::string::npos;
         at = log.find("Accepted publickey for ", at + 1)) {
        ++count;
    }
    return count;
}

testing::AssertionResult CSshServer::Start() {
    Stop();
    if (m_user.empty()) {
        return testing::AssertionFailure() << "sshd: the user running the tests has no name";
    }
    if (::access("/usr/sbin/sshd", X_OK) != 0) {
        return testing::AssertionFailure() << "sshd: /usr/sbin/sshd is missing (openssh-server)";
    }
    // Run by root, sshd confines its unprivileged half to this directory.
    if (geteuid() == 0 && mkdir("/run/sshd", 0755) != 0 && errno != EEXIST) {
        return testing::AssertionFailure() << "sshd: cannot make /run/sshd";
    }
    for (const char* key : {"host_key", "login_key"}) {
        unlink((m_dir / key).c_str());
        auto made = RunToEnd({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C",
                              "tarvik test", "-f", m_dir / key},
                             m_dir / "ssh-keygen.out");
        if (!made) {
            return made;
        }
    }
    m_port = FreeLoopbackPort();
    std::ofstream config(m_dir / "sshd_config", std::ios::trunc);
    config << "ListenAddress 127.0.0.1\nPort " << m_port << "\nHostKey " << (m_dir / "host_key")
           << "\nPidFile " << (m_dir / "sshd.pid") << "\nAuthorizedKeysFile "
           << (m_dir / "login_key.pub") << "\nAllowUsers " << m_user
           << "\nPermitRootLogin prohibit-password\nPubkeyAuthentication yes\n"
              "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM yes\n"
              "StrictModes no\nSubsystem sftp internal-sftp\nLogLevel VERBOSE\n";
    std::ofstream knownHosts(m_dir / "known_hosts", std::ios::trunc);
    knownHosts << "[127.0.0.1]:" << m_port << " " << ReadWholeFile(m_dir / "host_key.pub");
    if (!config.flush() || !knownHosts.flush()) {
        return testing::AssertionFailure() << "sshd: cannot write " << m_dir.Path();
    }
    std::string error;
    if (!m_process.Start({"/usr/sbin/sshd", "-D", "-e", "-f", m_dir / "sshd_config"},
                         m_dir / "sshd.out", error) ||
        !WaitForPort(m_port, 10000, &m_process, error)) {
        m_process.Stop();
        return testing::AssertionFailure()
               << "sshd did not start: " << error << "\n--- output ---\n"
               << TailOfFile(m_dir / "sshd.out");
    }
    return testing::AssertionSuccess();
}

void CSshServer::Stop() {
    m_process.Stop();
}
