#include "support/NginxServer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void ReplaceAllText(std::string& text, const std::string& key, const std::string& value) {
    for (std::size_t pos = text.find(key); pos != std::string::npos;
         pos = text.find(key, pos + value.size())) {
        text.replace(pos, key.size(), value);
    }
}

const char* const kConfig = R"(# Written by the test fixture.
{user}daemon off;
pid {dir}/nginx.pid;
error_log {dir}/logs/error.log info;
events {
    worker_connections 128;
}
http {
    access_log {dir}/logs/access.log;
    client_body_temp_path {dir}/tmp/client_body;
    proxy_temp_path {dir}/tmp/proxy;
    fastcgi_temp_path {dir}/tmp/fastcgi;
    uwsgi_temp_path {dir}/tmp/uwsgi;
    scgi_temp_path {dir}/tmp/scgi;
    types {
        text/html html htm;
        text/css css;
        text/plain txt;
        application/javascript js;
        image/gif gif;
        image/png png;
        image/jpeg jpg jpeg;
    }
    default_type application/octet-stream;
    keepalive_timeout 30;
    server {
        listen 127.0.0.1:{port};
        server_name localhost;
        root {root};
{serverDirectives}
    }
{httpDirectives}
}
)";

}  // namespace

CNginxServer::CNginxServer() : m_dir("nginx", true) {
    m_docRoot = m_dir / "www";
    m_dir.MakeDir("www");
    m_dir.MakeDir("logs");
    m_dir.MakeDir("tmp");
}

CNginxServer::~CNginxServer() {
    Stop();
    if (CurrentTestFailed()) {
        std::fprintf(stderr, "--- nginx access log ---\n%s\n",
                     TailOfFile(m_dir / "logs/access.log").c_str());
    }
}

uint16_t CNginxServer::ExtraPort(int i) const {
    return i >= 1 && static_cast<std::size_t>(i) < m_ports.size() ? m_ports[i] : 0;
}

bool CNginxServer::WaitForAccessLog(const std::string& text, int timeoutMs) const {
    return WaitUntil([&] { return AccessLog().find(text) != std::string::npos; }, timeoutMs);
}

int CNginxServer::LoggedRequests(int atLeast, int timeoutMs) const {
    int lines = 0;
    WaitUntil(
        [&] {
            const std::string log = AccessLog();
            lines = static_cast<int>(std::count(log.begin(), log.end(), '\n'));
            return lines >= atLeast;
        },
        timeoutMs);
    return lines;
}

std::string CNginxServer::Substitute(std::string text) const {
    for (std::size_t i = m_ports.size(); i-- > 1;) {
        ReplaceAllText(text, "{port" + std::to_string(i) + "}", std::to_string(m_ports[i]));
    }
    ReplaceAllText(text, "{port}", std::to_string(Port()));
    ReplaceAllText(text, "{dir}", m_dir.Path());
    ReplaceAllText(text, "{root}", m_docRoot);
    return text;
}

bool CNginxServer::MakeServerReadable(const std::string& path, bool writable) {
    if (geteuid() != 0) {
        return true;  // nginx runs as this user and reads what the test wrote
    }
    std::error_code error;
    auto fix = [&](const fs::path& p) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
            return;
        }
        mode_t mode = S_ISDIR(st.st_mode) ? (writable ? 0777 : 0755) : (writable ? 0666 : 0644);
        chmod(p.c_str(), mode);
    };
    fix(path);
    if (fs::is_directory(path, error)) {
        for (auto it = fs::recursive_directory_iterator(path, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            fix(it->path());
        }
    }
    return !error;
}

testing::AssertionResult CNginxServer::Start(const Options& options) {
    Stop();
    if (!options.docRoot.empty()) {
        m_docRoot = options.docRoot;
    }
    // nginx's error log is also where its output goes.
    const std::string errorLog = m_dir / "logs/error.log";
    std::string config;
    auto configure = [&](const std::vector<uint16_t>&) -> std::vector<std::string> {
        config = kConfig;
        // Started by root, nginx serves as nobody (its default group "nobody" is not Debian's).
        ReplaceAllText(config, "{user}", geteuid() == 0 ? "user nobody nogroup;\n" : "");
        ReplaceAllText(config, "{serverDirectives}", options.serverDirectives);
        ReplaceAllText(config, "{httpDirectives}", options.httpDirectives);
        config = Substitute(config);
        if (!m_dir.WriteFile("nginx.conf", config)) {
            return {};
        }
        return {"/usr/sbin/nginx", "-p", m_dir.Path() + "/", "-c", m_dir / "nginx.conf", "-e",
                errorLog};
    };
    std::string error;
    if (!m_process.StartOnFreePorts(options.extraPorts + 1, configure, errorLog, m_ports, error)) {
        return testing::AssertionFailure()
               << "nginx did not start: " << error << "\n--- nginx.conf ---\n"
               << config;
    }
    return testing::AssertionSuccess();
}

void CNginxServer::Stop() {
    m_process.Stop();
}
