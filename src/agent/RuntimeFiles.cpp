#include "agent/RuntimeFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/LastMessage.h"
#include "res/StringTable.h"

namespace {

// dir + "/" + name, built in place.
std::string InDir(const std::string& dir, const std::string& name) {
    std::string path = dir;
    path += '/';
    path += name;
    return path;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The directory of the running program, or "" when it cannot be told.
std::string ProgramDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() - 1) {
        return std::string();
    }
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool Fail(const std::string& name, const std::string& workDir, int error) {
    SetLastMessage(IDS_SEED_COPY_FAILED, name.c_str(), workDir.c_str(), std::strerror(error));
    return false;
}

// Writes data to a temporary file in workDir and links it to name, unless name exists by then.
bool CopyNew(const std::string& data, const std::string& workDir, const std::string& name) {
    std::string temp = workDir + "/." + name + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return Fail(name, workDir, errno);
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            close(fd);
            unlink(temp.c_str());
            return Fail(name, workDir, error);
        }
        done += static_cast<std::size_t>(n);
    }
    bool closed = fchmod(fd, 0644) == 0;
    int error = errno;
    if (close(fd) != 0 && closed) {
        closed = false;
        error = errno;
    }
    const bool linked =
        closed && (link(temp.c_str(), (workDir + "/" + name).c_str()) == 0 || errno == EEXIST);
    const int linkError = errno;
    unlink(temp.c_str());
    return linked || Fail(name, workDir, closed ? linkError : error);
}

}  // namespace

std::string FindRuntimeDir() {
    const char* override = std::getenv("TARVIK_RUNTIME_DIR");
    if (override != nullptr && override[0] != '\0') {
        return override;
    }
    const std::string program = ProgramDirectory();
    if (!program.empty() && IsDirectory(program + "/" TARVIK_RUNTIME_FROM_BIN)) {
        return program + "/" TARVIK_RUNTIME_FROM_BIN;
    }
    if (IsDirectory(TARVIK_RUNTIME_BUILD_DIR)) {
        return TARVIK_RUNTIME_BUILD_DIR;
    }
    return std::string();
}

SeedResult SeedWorkDir(const std::string& workDir, const std::string& runtimeDir) {
    DIR* dir = runtimeDir.empty() ? nullptr : opendir(runtimeDir.c_str());
    if (dir == nullptr) {
        return SeedResult::NoRuntimeDir;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        struct stat st;
        const std::string path = runtimeDir + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        return SeedResult::Seeded;
    }
    if (!IsDirectory(workDir)) {
        Fail(names.front(), workDir, ENOTDIR);
        return SeedResult::Failed;
    }
    for (const std::string& name : names) {
        const std::string target = InDir(workDir, name);
        const std::string source = InDir(runtimeDir, name);
        struct stat st;
        if (lstat(target.c_str(), &st) == 0) {
            continue;
        }
        std::ifstream in(source, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        if (!in.is_open()) {
            SetLastMessage(IDS_COULD_NOT_READ_FILE, source.c_str());
            return SeedResult::Failed;
        }
        if (!CopyNew(data, workDir, name)) {
            return SeedResult::Failed;
        }
    }
    return SeedResult::Seeded;
}
