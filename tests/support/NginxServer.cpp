#include "support/NginxServer.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

#ifndef TARVIK_NGINX
#define TARVIK_NGINX "/usr/sbin/nginx"
#endif

namespace fs = std::filesystem;

namespace {

void ReplaceAllText(std::string& text, const std::string& key, const std::string& value) {
    for (std::size_t pos = text.find(key); pos != std::string::npos;
         pos = text.find(key, pos + value.size())) {
        text.replace(pos, key.size(), value);
    }
}

// The worker's user and group when nginx starts as root; nginx's own default group "nobody"
// does not exist on Debian.
std::string UserDirective() {
    if (geteuid() != 0) {
        return std::string();
    }
    const char* group = getgrnam("nogroup") != nullptr ? "nogroup" : "nobody";
    return std::string("user nobody ") + group + ";\n";
}

const char* const kConfig = R"(# Written by the test fixture.
{user}worker_processes 1;
daemon off;
master_process on;
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
        std::fprintf(stderr,
                     "--- nginx error log (%s/logs) ---\n%s\n--- nginx access log ---\n%s\n",
                     m_dir.Path().c_str(), TailOfFile(m_dir / "logs/error.log").c_str(),
                     TailOfFile(m_dir / "logs/access.log").c_str());
    }
}

uint16_t CNginxServer::ExtraPort(int i) const {
    return i >= 1 && static_cast<std::size_t>(i) < m_ports.size() ? m_ports[i] : 0;
}

std::string CNginxServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(Port());
}

std::string CNginxServer::AccessLog() const {
    return ReadWholeFile(m_dir / "logs/access.log");
}

bool CNginxServer::WaitForAccessLog(const std::string& text, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (AccessLog().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int CNginxServer::LoggedRequests(int atLeast, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string log = AccessLog();
        const int lines = static_cast<int>(std::count(log.begin(), log.end(), '\n'));
        if (lines >= atLeast || std::chrono::steady_clock::now() > deadline) {
            return lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string CNginxServer::ErrorLog() const {
    return ReadWholeFile(m_dir / "logs/error.log");
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
    std::string lastError;
    // A port picked free can be taken by another program before nginx binds it: pick again.
    for (int round = 0; round < 5; ++round) {
        m_ports.clear();
        for (int i = 0; i <= options.extraPorts; ++i) {
            uint16_t port = FreeLoopbackPort();
            if (port == 0) {
                return testing::AssertionFailure() << "no free loopback port";
            }
            m_ports.push_back(port);
        }
        std::string config = kConfig;
        ReplaceAllText(config, "{user}", UserDirective());
        ReplaceAllText(config, "{serverDirectives}", options.serverDirectives);
        ReplaceAllText(config, "{httpDirectives}", options.httpDirectives);
        config = Substitute(config);
        const std::string configPath = m_dir / "nginx.conf";
        {
            std::ofstream out(configPath, std::ios::trunc);
            out << config;
            if (!out) {
                return testing::AssertionFailure() << "cannot write " << configPath;
            }
        }
        const std::string errorLog = m_dir / "logs/error.log";
        const std::size_t logStart = ErrorLog().size();
        std::string error;
        if (!m_process.Start(
                {TARVIK_NGINX, "-p", m_dir.Path() + "/", "-c", configPath, "-e", errorLog},
                m_dir / "logs/nginx.out", error)) {
            return testing::AssertionFailure() << "nginx: " << error;
        }
        bool up = true;
        for (uint16_t port : m_ports) {
            up = up && WaitForPort(port, 10000, &m_process, error);
        }
        if (up) {
            return testing::AssertionSuccess();
        }
        m_process.Stop();
        lastError = "nginx did not start: " + error + "\n--- error log ---\n" +
                    TailOfFile(errorLog) + "\n--- output ---\n" +
                    TailOfFile(m_dir / "logs/nginx.out") + "\n--- nginx.conf ---\n" + config;
        if (ErrorLog().find("Address already in use", logStart) == std::string::npos) {
            break;
        }
    }
    return testing::AssertionFailure() << lastError;
}

void CNginxServer::Stop() {
    m_process.Stop();
}
