// A real FTP server for tests: pyftpdlib (Debian's python3-pyftpdlib, run by /usr/bin/python3)
// on 127.0.0.1 and a free port, serving a temporary root to one user with a password and, if
// wanted, to anonymous users. Stopped when the object dies; its log (every command and reply) is
// printed and kept when the test fails. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/ServerProcess.h"
#include "support/TempDir.h"

class CFtpServer {
  public:
    struct Options {
        std::string user = "webmaster";
        std::string password = "s3cret pass";
        // Anonymous logins: none, read only, or read and write.
        enum class Anonymous { kNone, kRead, kReadWrite } anonymous = Anonymous::kRead;
        // The served root; empty for Root() below the server's own directory.
        std::string root;
        // Whether the server knows the SIZE command (older servers do not).
        bool sizeCommand = true;
        // A certificate and key file (MakeTestCertificate) make the server offer AUTH TLS;
        // empty for a server without TLS.
        std::string tlsDir;
    };

    // Makes the directory and the empty root; nothing runs yet.
    CFtpServer();

    // Starts the server and waits until it answers. The failure says why, with its output.
    testing::AssertionResult Start(const Options& options);
    testing::AssertionResult Start() { return Start(Options()); }
    void Stop();

    uint16_t Port() const { return m_port; }
    // "127.0.0.1:port", the form an agent's settings hold.
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    const std::string& User() const { return m_options.user; }
    const std::string& Password() const { return m_options.password; }
    const std::string& Root() const { return m_root; }
    const std::string& Dir() const { return m_dir.Path(); }
    // The server's log: one line per command received ("<- RETR /index.html") and reply.
    std::string Log() const { return ReadWholeFile(m_dir / "ftp.log"); }
    // How many commands the log shows that start with command (e.g. "USER", "RETR").
    int CountCommands(const std::string& command) const;

  private:
    CTempDir m_dir;
    std::string m_root;
    Options m_options;
    uint16_t m_port = 0;
    CServerProcess m_process;
};
