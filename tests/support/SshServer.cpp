#include "support/SshServer.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <regex>

CSshServer::CSshServer() : m_dir("sshd") {
    const passwd* account = getpwuid(getuid());
    m_user = account != nullptr ? account->pw_name : "";
}

int CSshServer::CountLogins() const {
    const std::string log = ReadWholeFile(m_dir / "sshd.out");
    const std::regex login("Accepted publickey for ");
    return static_cast<int>(
        std::distance(std::sregex_iterator(log.begin(), log.end(), login), std::sregex_iterator()));
}

testing::AssertionResult CSshServer::Start() {
    Stop();
    if (m_user.empty()) {
        return testing::AssertionFailure() << "sshd: the user running the tests has no name";
    }
    // Run by root, sshd confines its unprivileged half to this directory.
    if (geteuid() == 0 && mkdir("/run/sshd", 0755) != 0 && errno != EEXIST) {
        return testing::AssertionFailure() << "sshd: cannot make /run/sshd";
    }
    std::string error;
    for (const char* key : {"host_key", "login_key"}) {
        unlink((m_dir / key).c_str());
        CServerProcess keygen;
        if (!keygen.RunToEnd({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C",
                              "tarvik test", "-f", m_dir / key},
                             m_dir / "ssh-keygen.out", error)) {
            return testing::AssertionFailure() << error;
        }
    }
    auto configure = [&](const std::vector<uint16_t>& ports) -> std::vector<std::string> {
        m_port = ports[0];
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
            return {};
        }
        return {"/usr/sbin/sshd", "-D", "-e", "-f", m_dir / "sshd_config"};
    };
    std::vector<uint16_t> ports;
    if (!m_process.StartOnFreePorts(1, configure, m_dir / "sshd.out", ports, error)) {
        return testing::AssertionFailure() << "sshd did not start: " << error;
    }
    return testing::AssertionSuccess();
}

void CSshServer::Stop() {
    m_process.Stop();
}
