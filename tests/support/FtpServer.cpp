#include "support/FtpServer.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef TARVIK_PYTHON
#define TARVIK_PYTHON "/usr/bin/python3"
#endif

namespace {

const char* const kScript = R"(# Written by the test fixture: a pyftpdlib server on 127.0.0.1.
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, anonymous, size_command, port_file, log_file, tls_dir = sys.argv[1:9]
if tls_dir:
    # Explicit TLS (AUTH TLS) offered, not demanded.
    TLS_FTPHandler.certfile = tls_dir + "/cert.pem"
    TLS_FTPHandler.keyfile = tls_dir + "/key.pem"
    FTPHandler = TLS_FTPHandler

    class DataHandler(TLS_DTPHandler):
        # libcurl starts TLS on a data connection as soon as it is connected, before the
        # command that uses it; pyftpdlib 1.5 drops a data connection that speaks that early.
        def readable(self):
            return True if self._ssl_accepting else super().readable()

    FTPHandler.dtp_handler = DataHandler
logging.basicConfig(filename=log_file, level=logging.DEBUG,
                    format="%(asctime)s %(message)s")
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")
if anonymous == "read":
    authorizer.add_anonymous(root, perm="elr")
elif anonymous == "write":
    authorizer.add_anonymous(root, perm="elradfmwMT")
FTPHandler.authorizer = authorizer
# A failed login answers at once, not after pyftpdlib's usual pause against guessing.
FTPHandler.auth_failed_timeout = 0.05
if size_command == "no":
    FTPHandler.proto_cmds = dict(FTPHandler.proto_cmds)
    del FTPHandler.proto_cmds["SIZE"]
FTPHandler.permit_foreign_addresses = False
server = FTPServer(("127.0.0.1", 0), FTPHandler)
with open(port_file + ".tmp", "w") as out:
    out.write(str(server.socket.getsockname()[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
)";

}  // namespace

CFtpServer::CFtpServer() : m_dir("ftp") {
    m_root = m_dir / "root";
    m_dir.MakeDir("root");
}

CFtpServer::~CFtpServer() {
    Stop();
    if (CurrentTestFailed()) {
        std::fprintf(stderr, "--- FTP server log (%s) ---\n%s\n--- output ---\n%s\n",
                     m_dir.Path().c_str(), TailOfFile(m_dir / "ftp.log").c_str(),
                     TailOfFile(m_dir / "ftp.out").c_str());
    }
}

std::string CFtpServer::Address() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string CFtpServer::Log() const {
    return ReadWholeFile(m_dir / "ftp.log");
}

int CFtpServer::CountCommands(const std::string& command) const {
    std::istringstream log(Log());
    std::string line;
    int count = 0;
    const std::string marker = "<- " + command;
    while (std::getline(log, line)) {
        std::size_t at = line.find(marker);
        if (at != std::string::npos &&
            (at + marker.size() == line.size() || line[at + marker.size()] == ' ')) {
            ++count;
        }
    }
    return count;
}

testing::AssertionResult CFtpServer::Start(const Options& options) {
    Stop();
    m_options = options;
    if (!options.root.empty()) {
        m_root = options.root;
    }
    const std::string scriptPath = m_dir / "ftpserver.py";
    {
        std::ofstream out(scriptPath, std::ios::trunc);
        out << kScript;
        if (!out) {
            return testing::AssertionFailure() << "cannot write " << scriptPath;
        }
    }
    const std::string portFile = m_dir / "port";
    unlink(portFile.c_str());
    const char* anonymous = options.anonymous == Options::Anonymous::kNone   ? "none"
                            : options.anonymous == Options::Anonymous::kRead ? "read"
                                                                             : "write";
    std::string error;
    if (!m_process.Start(
            {TARVIK_PYTHON, scriptPath, m_root, options.user, options.password, anonymous,
             options.sizeCommand ? "yes" : "no", portFile, m_dir / "ftp.log", options.tlsDir},
            m_dir / "ftp.out", error)) {
        return testing::AssertionFailure() << "FTP server: " << error;
    }
    // The server writes its port once it listens.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    m_port = 0;
    while (m_port == 0) {
        std::string text = ReadWholeFile(portFile);
        if (!text.empty()) {
            m_port = static_cast<uint16_t>(std::stoi(text));
            break;
        }
        std::string how;
        if (!m_process.Running(&how) || std::chrono::steady_clock::now() > deadline) {
            m_process.Stop();
            return testing::AssertionFailure()
                   << "the FTP server (" << TARVIK_PYTHON << " with pyftpdlib) did not start: "
                   << (how.empty() ? "no port after 20 s" : how) << "\n--- output ---\n"
                   << TailOfFile(m_dir / "ftp.out");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!WaitForPort(m_port, 10000, &m_process, error)) {
        m_process.Stop();
        return testing::AssertionFailure()
               << "the FTP server did not answer: " << error << "\n--- output ---\n"
               << TailOfFile(m_dir / "ftp.out");
    }
    return testing::AssertionSuccess();
}

void CFtpServer::Stop() {
    m_process.Stop();
}
