// A real nginx for tests: its own configuration, document root and logs in a temporary
// directory, listening on 127.0.0.1 on free ports. Works when the tests run as root (nginx then
// serves as "nobody", so everything it reads is made world-readable) and as an ordinary user.
// Start fails loudly with nginx's own error log when nginx cannot start; when the test fails,
// the directory with the logs is kept and the logs are printed. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/ServerProcess.h"
#include "support/TempDir.h"

class CNginxServer {
  public:
    struct Options {
        // Directives inside the main server block (locations and the like).
        std::string serverDirectives;
        // Further configuration inside the http block (more server blocks).
        std::string httpDirectives;
        // The document root; empty for DocRoot() below the server's own directory. A root
        // given here must be readable by the user nginx serves as (see MakeServerReadable).
        std::string docRoot;
        // How many more free ports to pick for the configuration ({port1}, {port2} ...).
        int extraPorts = 0;
    };

    // Makes the directory and the empty document root; nothing runs yet.
    CNginxServer();
    // Stops nginx; prints and keeps the logs when the running test failed.
    ~CNginxServer();

    // Writes the configuration and starts nginx, waiting until it answers. In the options'
    // texts, "{port}" is the main port, "{port1}" ... the extra ones, "{dir}" the server's
    // directory and "{root}" the document root. Ports that another program took meanwhile are
    // picked again. The failure says why, with nginx's error log.
    testing::AssertionResult Start(const Options& options);
    testing::AssertionResult Start() { return Start(Options()); }
    // Stops nginx (fast shutdown). Start may be called again.
    void Stop();

    uint16_t Port() const { return m_ports.empty() ? 0 : m_ports[0]; }
    // Extra port i (1-based, as in "{port1}").
    uint16_t ExtraPort(int i) const;
    // "http://127.0.0.1:port".
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(Port()); }
    const std::string& Dir() const { return m_dir.Path(); }
    const std::string& DocRoot() const { return m_docRoot; }
    // nginx writes a request's log line after it has sent the answer, so a client may see the
    // answer before the line: tests wait for the line they look for.
    std::string AccessLog() const { return ReadWholeFile(m_dir / "logs/access.log"); }
    // Waits up to timeoutMs until the access log holds text; false if it never does.
    bool WaitForAccessLog(const std::string& text, int timeoutMs = 5000) const;
    // How many requests the access log holds once it holds at least atLeast (or the wait of
    // WaitForAccessLog is over).
    int LoggedRequests(int atLeast, int timeoutMs = 5000) const;
    std::string ErrorLog() const { return ReadWholeFile(m_dir / "logs/error.log"); }
    // The text with the placeholders of Start filled in.
    std::string Substitute(std::string text) const;

    // Lets the user nginx serves as read (and, if writable, write) below path: when the tests
    // run as root, directories get 0755 (0777 when writable) and files 0644.
    static bool MakeServerReadable(const std::string& path, bool writable = false);

  private:
    CTempDir m_dir;
    std::string m_docRoot;
    std::vector<uint16_t> m_ports;
    CServerProcess m_process;
};
