#include "support/FtpServer.h"

#include <iterator>
#include <regex>

namespace {

// pyftpdlib is Debian's package for Debian's python, whatever python3 comes first on PATH.
const char* const kScript = R"(# Written by the test fixture: a pyftpdlib server on 127.0.0.1.
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, anonymous, size_command, port, tls_dir = sys.argv[1:8]
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
logging.basicConfig(stream=sys.stderr, level=logging.DEBUG, format="%(asctime)s %(message)s")
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
FTPServer(("127.0.0.1", int(port)), FTPHandler).serve_forever()
)";

}  // namespace

CFtpServer::CFtpServer() : m_dir("ftp") {
    m_root = m_dir / "root";
    m_dir.MakeDir("root");
}

int CFtpServer::CountCommands(const std::string& command) const {
    const std::string log = Log();
    const std::regex line("<- " + command + "( |$)", std::regex::multiline);
    return static_cast<int>(
        std::distance(std::sregex_iterator(log.begin(), log.end(), line), std::sregex_iterator()));
}

testing::AssertionResult CFtpServer::Start(const Options& options) {
    Stop();
    m_options = options;
    if (!options.root.empty()) {
        m_root = options.root;
    }
    const char* anonymous = options.anonymous == Options::Anonymous::kNone   ? "none"
                            : options.anonymous == Options::Anonymous::kRead ? "read"
                                                                             : "write";
    auto configure = [&](const std::vector<uint16_t>& ports) -> std::vector<std::string> {
        if (!m_dir.WriteFile("ftpserver.py", kScript)) {
            return {};
        }
        return {"/usr/bin/python3",
                m_dir / "ftpserver.py",
                m_root,
                options.user,
                options.password,
                anonymous,
                options.sizeCommand ? "yes" : "no",
                std::to_string(ports[0]),
                options.tlsDir};
    };
    std::vector<uint16_t> ports;
    std::string error;
    if (!m_process.StartOnFreePorts(1, configure, m_dir / "ftp.log", ports, error)) {
        return testing::AssertionFailure()
               << "the FTP server (/usr/bin/python3 with pyftpdlib) did not start: " << error;
    }
    m_port = ports[0];
    return testing::AssertionSuccess();
}

void CFtpServer::Stop() {
    m_process.Stop();
}
