// A real SSH server for tests: OpenSSH's sshd on 127.0.0.1 and a free port, serving SFTP to the
// user the tests run as, who logs in with a key only. The host key, the login key, the
// known-hosts file and the configuration are made in a temporary directory. It runs as any user;
// run by root it needs sshd's privilege separation directory, which it makes when missing. Stopped
// when the object dies; its log is printed when the test fails. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/ServerProcess.h"
#include "support/TempDir.h"

class CSshServer {
  public:
    // Makes the directory; nothing runs yet.
    CSshServer();

    // Makes the keys and the configuration, starts the server and waits until it answers. The
    // failure says why, with the server's output.
    testing::AssertionResult Start();
    void Stop();

    // "127.0.0.1:port".
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    uint16_t Port() const { return m_port; }
    // The user the tests run as, the one account the server lets in.
    const std::string& User() const { return m_user; }
    // The private key that logs the user in (unencrypted).
    std::string KeyFile() const { return m_dir / "login_key"; }
    // Holds the server's host key for "[127.0.0.1]:port".
    std::string KnownHostsFile() const { return m_dir / "known_hosts"; }
    const std::string& Dir() const { return m_dir.Path(); }
    // How many logins the server's log shows.
    int CountLogins() const;

  private:
    CTempDir m_dir;
    std::string m_user;
    uint16_t m_port = 0;
    CServerProcess m_process;
};
