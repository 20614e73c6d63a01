#include "support/TarvikRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "support/TempDir.h"

std::string TarvikResult::LastErrorLine() const {
    std::string text = err;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::size_t nl = text.rfind('\n');
    return nl == std::string::npos ? text : text.substr(nl + 1);
}

pid_t StartTarvik(const TarvikCall& call, const std::string& outputs) {
    std::vector<std::string> argv = {TARVIK_EXE};
    argv.insert(argv.end(), call.args.begin(), call.args.end());
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "TZ=UTC", "ASAN_OPTIONS=detect_leaks=1"};
    for (const std::string& pair : call.env) {
        const std::string name = pair.substr(0, pair.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
        env.push_back(pair);
    }
    const std::string out = outputs + ".out";
    const std::string err = outputs + ".err";
    std::vector<char*> cargv;
    for (std::string& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<char*> cenv;
    for (std::string& v : env)
        cenv.push_back(v.data());
    cenv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int i = ::open(call.input.empty() ? "/dev/null" : call.input.c_str(), O_RDWR);
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0)
            _exit(127);
        if (call.fileSizeLimit != RLIM_INFINITY) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {call.fileSizeLimit, call.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(cargv[0], cargv.data(), cenv.data());
        _exit(127);
    }
    return pid;
}

TarvikResult FinishTarvik(pid_t pid, const std::string& outputs) {
    TarvikResult r;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    r.out = ReadWholeFile(outputs + ".out");
    r.err = ReadWholeFile(outputs + ".err");
    return r;
}

TarvikResult RunTarvik(const TarvikCall& call, const std::string& outputs) {
    return FinishTarvik(StartTarvik(call, outputs), outputs);
}
