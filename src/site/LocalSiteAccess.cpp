#include "site/LocalSiteAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/PathRules.h"
#include "res/StringTable.h"
#include "site/AtomicFile.h"

namespace {

// Whether the file at path holds exactly text.
bool SameContents(const std::string& path, std::string_view text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char chunk[65536];
    std::size_t offset = 0;
    bool same = true;
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            same = n == 0 && offset == text.size();
            break;
        }
        const std::size_t got = static_cast<std::size_t>(n);
        if (offset + got > text.size() || std::memcmp(chunk, text.data() + offset, got) != 0) {
            same = false;
            break;
        }
        offset += got;
    }
    ::close(fd);
    return same;
}

constexpr int32_t kReadChunk = 64 * 1024;

bool HasWriteBit(mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// Opens a regular file for reading without blocking on anything else; -1 with errno set.
int OpenRegular(const std::string& path, struct stat& st) {
    if (stat(path.c_str(), &st) != 0) {
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    // The entry may have been swapped between stat and open.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// The path with every link resolved ("" when it cannot be resolved). A path whose last parts do
// not exist yet is resolved through the nearest directory above it that does.
std::string ResolvedPath(const std::string& path) {
    std::string head = path;
    std::string tail;
    while (!head.empty()) {
        if (char* real = ::realpath(head.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved + tail;
        }
        if (errno != ENOENT && errno != ENOTDIR) {
            return std::string();
        }
        const std::size_t slash = head.find_last_of('/', head.size() > 1 ? head.size() - 2 : 0);
        if (slash == std::string::npos) {
            return std::string();
        }
        std::string part = head.substr(slash);
        if (part.size() > 1 && part.back() == '/') {
            part.pop_back();
        }
        tail.insert(0, part);
        head.erase(slash == 0 ? 1 : slash);
    }
    return std::string();
}

// Whether path, its links followed, still lies below root (whose own links are allowed).
bool StaysBeneath(const std::string& root, const std::string& path) {
    const std::string realRoot = ResolvedPath(root);
    const std::string realPath = ResolvedPath(path);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0) {
        return false;  // a dangling link: where it would create a file is not known here
    }
    if (realRoot.empty() || realPath.empty()) {
        return true;  // nothing there to reach: the operation itself fails
    }
    if (realPath == realRoot || realRoot == "/") {
        return true;
    }
    return realPath.size() > realRoot.size() &&
           realPath.compare(0, realRoot.size(), realRoot) == 0 && realPath[realRoot.size()] == '/';
}

}  // namespace

CLocalSiteAccess::CLocalSiteAccess(std::string root) : m_root(std::move(root)) {
    if (!m_root.empty()) {
        NormalizeLocalPath(m_root, true);
    }
}

bool CLocalSiteAccess::Resolve(const std::string& name, std::string& path) {
    ClearError();
    if (m_root.empty()) {
        SetError(IDS_SITE_NO_ROOT);
        return false;
    }
    if (!CheckName(name)) {
        return false;
    }
    path = m_root + name;
    // A symbolic link inside the site may point anywhere: what lies outside the root is never
    // read nor written through it.
    if (!StaysBeneath(m_root, path)) {
        SetError(IDS_SITE_NAME_OUTSIDE, name.c_str());
        return false;
    }
    return true;
}

bool CLocalSiteAccess::ReadFile(const std::string& name, CTextBuffer& buffer) {
    std::string path;
    if (!Resolve(name, path)) {
        return false;
    }
    struct stat st;
    int fd = OpenRegular(path, st);
    if (fd < 0) {
        if (errno == EISDIR || errno == EINVAL) {
            SetError(IDS_SITE_NOT_REGULAR, path.c_str());
        } else {
            SetError(IDS_SITE_READ_FAILED, path.c_str(), std::strerror(errno));
        }
        return false;
    }
    const int32_t start = buffer.Length();
    if (st.st_size > std::numeric_limits<int32_t>::max() - start) {
        ::close(fd);
        SetError(IDS_SITE_TOO_LARGE, path.c_str());
        return false;
    }
    char chunk[kReadChunk];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetError(IDS_SITE_READ_FAILED, path.c_str(), std::strerror(errno));
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        if (!buffer.Append(chunk, static_cast<int32_t>(n))) {
            SetError(IDS_SITE_TOO_LARGE, path.c_str());
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (!ok) {
        buffer.Truncate(start);
    }
    return ok;
}

bool CLocalSiteAccess::WriteFile(const std::string& name, const CTextBuffer& buffer) {
    std::string path;
    if (!Resolve(name, path)) {
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            SetError(IDS_SITE_NOT_REGULAR, path.c_str());
            return false;
        }
        if (!HasWriteBit(st.st_mode)) {
            SetError(IDS_SITE_READ_ONLY, path.c_str());
            return false;
        }
        // A run that changes nothing (the second run over the same site and logs) leaves the
        // files as they are: no new inode, no new modification time for uploads to notice.
        if (st.st_size == buffer.Length() && SameContents(path, buffer.View())) {
            return true;
        }
    }
    CAtomicFile file(path);
    file.SetDurable(false);
    m_unsynced = true;
    if (!file.Open() || !file.Write(buffer.View()) || !file.Commit()) {
        SetError(IDS_SITE_WRITE_FAILED, path.c_str(), std::strerror(file.ErrorNumber()));
        return false;
    }
    return true;
}

CLocalSiteAccess::~CLocalSiteAccess() {
    Sync();
}

bool CLocalSiteAccess::Sync() {
    if (!m_unsynced) {
        return true;
    }
    m_unsynced = false;
    return CAtomicFile::SyncFileSystem(m_root);
}

bool CLocalSiteAccess::IsDirectory(const std::string& name) {
    std::string path;
    struct stat st;
    return Resolve(name, path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CLocalSiteAccess::IsReadOnly(const std::string& name) {
    std::string path;
    struct stat st;
    return Resolve(name, path) && stat(path.c_str(), &st) == 0 && !HasWriteBit(st.st_mode);
}

bool CLocalSiteAccess::Exists(const std::string& name) {
    std::string path;
    struct stat st;
    return Resolve(name, path) && stat(path.c_str(), &st) == 0;
}

int32_t CLocalSiteAccess::GetFileSize(const std::string& name) {
    std::string path;
    if (!Resolve(name, path)) {
        return -1;
    }
    struct stat st;
    int fd = OpenRegular(path, st);
    if (fd < 0) {
        if (errno == EISDIR || errno == EINVAL) {
            SetError(IDS_SITE_NOT_REGULAR, path.c_str());
        } else {
            SetError(IDS_SITE_READ_FAILED, path.c_str(), std::strerror(errno));
        }
        return -1;
    }
    ::close(fd);
    // A file past 2 GiB reads as the largest size, so that size limits still keep it out.
    if (st.st_size > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(st.st_size);
}

bool CLocalSiteAccess::CreateDirectory(const std::string& name) {
    std::string path;
    if (!Resolve(name, path)) {
        return false;
    }
    if (::mkdir(path.c_str(), 0777) != 0) {
        SetError(IDS_SITE_MKDIR_FAILED, path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}
