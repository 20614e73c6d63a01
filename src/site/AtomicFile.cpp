#include "site/AtomicFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// The process umask without changing it (umask() would race with other threads). Read once: the
// program never changes it.
mode_t ReadUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    return 022;
}

mode_t CurrentUmask() {
    static const mode_t mask = ReadUmask();
    return mask;
}

}  // namespace

CAtomicFile::CAtomicFile(std::string path) : m_path(std::move(path)) {}

CAtomicFile::~CAtomicFile() {
    Discard();
}

bool CAtomicFile::Fail(int error) {
    if (!m_failed) {
        m_error = error;
    }
    m_failed = true;
    return false;
}

bool CAtomicFile::Open(mode_t newFileMode, bool exactMode) {
    Discard();
    m_failed = false;
    m_error = 0;
    m_target = m_path;
    m_uid = static_cast<uid_t>(-1);
    m_gid = static_cast<gid_t>(-1);
    struct stat st;
    if (lstat(m_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace the file behind the link, not the link: a site or a settings directory that
        // links a file elsewhere keeps the link. A dangling link is replaced by the file.
        char* resolved = realpath(m_path.c_str(), nullptr);
        if (resolved != nullptr) {
            m_target = resolved;
            std::free(resolved);
        }
    }
    if (stat(m_target.c_str(), &st) == 0) {
        // Only a regular file is ever replaced: renaming over a device, a pipe or a directory
        // would destroy something that is not ours to rewrite.
        if (!S_ISREG(st.st_mode)) {
            return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        }
        m_mode = st.st_mode & 07777;
        if (st.st_uid != geteuid() || st.st_gid != getegid()) {
            m_uid = st.st_uid;
            m_gid = st.st_gid;
        }
    } else {
        m_mode = exactMode ? newFileMode : (newFileMode & ~CurrentUmask());
    }
    std::size_t slash = m_target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    std::string buf = dir + "." + base + ".tmp-XXXXXX";
    int fd = mkstemp(buf.data());
    if (fd < 0) {
        return Fail(errno);
    }
    m_fd = fd;
    m_tempPath = buf;
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    return true;
}

bool CAtomicFile::FlushBuffer() {
    const char* p = m_buffer.data();
    std::size_t left = m_buffer.size();
    while (left > 0) {
        ssize_t n = ::write(m_fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    m_buffer.clear();
    return true;
}

bool CAtomicFile::Write(const void* data, std::size_t size) {
    if (m_fd < 0 || m_failed) {
        return Fail(EBADF);
    }
    if (m_buffer.size() + size > kBufferSize) {
        if (!FlushBuffer()) {
            return false;
        }
        if (size >= kBufferSize) {
            m_buffer.assign(static_cast<const char*>(data), size);
            return FlushBuffer();
        }
    }
    m_buffer.append(static_cast<const char*>(data), size);
    return true;
}

bool CAtomicFile::Commit() {
    if (m_fd < 0 || m_failed) {
        Discard();
        return Fail(EBADF);
    }
    bool ok = FlushBuffer();
    if (ok && m_uid != static_cast<uid_t>(-1)) {
        // Keep the old owner where the process may (root, or a group it belongs to); a file it
        // cannot give away simply becomes its own, as any editor would leave it.
        if (fchown(m_fd, m_uid, m_gid) != 0) {
            (void)fchown(m_fd, static_cast<uid_t>(-1), m_gid);
        }
    }
    if (ok && fchmod(m_fd, m_mode) != 0) {
        ok = Fail(errno);
    }
    if (ok && m_durable && fsync(m_fd) != 0) {
        ok = Fail(errno);
    }
    if (::close(m_fd) != 0 && ok) {
        ok = Fail(errno);
    }
    m_fd = -1;
    if (ok && ::rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        ok = Fail(errno);
    }
    if (!ok) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    if (!m_durable) {
        return true;
    }
    // Make the rename itself durable.
    std::size_t slash = m_target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : m_target.substr(0, slash + 1);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void CAtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_buffer.clear();
}

bool CAtomicFile::Replace(const std::string& path, std::string_view data, mode_t newFileMode,
                          bool exactMode, bool durable) {
    CAtomicFile file(path);
    file.SetDurable(durable);
    return file.Open(newFileMode, exactMode) && file.Write(data) && file.Commit();
}

bool CAtomicFile::SyncFileSystem(const std::string& path) {
    int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = syncfs(fd) == 0;
    ::close(fd);
    return ok;
}
