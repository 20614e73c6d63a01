#include "site/LocalSiteAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "site/AtomicFile.h"
#include "sitemap/PathRules.h"

CLocalSiteAccess::CLocalSiteAccess(std::string root) : m_root(std::move(root)) {
    NormalizeLocalPath(m_root, true);
}

std::string CLocalSiteAccess::LocalPath(const std::string& name) const {
    if (!StaysInsideRoot(name)) {
        return std::string();
    }
    return m_root + name;
}

bool CLocalSiteAccess::ReadFile(const std::string& name, CTextBuffer& buffer) {
    std::string path = LocalPath(name);
    if (path.empty()) {
        return false;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    char chunk[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        if (!buffer.Append(chunk, static_cast<int32_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

bool CLocalSiteAccess::WriteFile(const std::string& name, const CTextBuffer& buffer) {
    std::string path = LocalPath(name);
    if (path.empty()) {
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0 &&
        (S_ISDIR(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        return false;
    }
    return CAtomicFile::Replace(path, buffer.View());
}

bool CLocalSiteAccess::IsDirectory(const std::string& name) {
    std::string path = LocalPath(name);
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CLocalSiteAccess::IsReadOnly(const std::string& name) {
    std::string path = LocalPath(name);
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 &&
           (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool CLocalSiteAccess::Exists(const std::string& name) {
    std::string path = LocalPath(name);
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

int32_t CLocalSiteAccess::GetFileSize(const std::string& name) {
    std::string path = LocalPath(name);
    if (path.empty()) {
        return -1;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st;
    int rc = fstat(fd, &st);
    ::close(fd);
    if (rc != 0 || S_ISDIR(st.st_mode)) {
        return -1;
    }
    if (st.st_size > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(st.st_size);
}

bool CLocalSiteAccess::CreateDirectory(const std::string& name) {
    std::string path = LocalPath(name);
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}
