#include "log/FileLogStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

CFileLogStream::~CFileLogStream() {
    Close();
}

bool CFileLogStream::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    if (!m_buffer) {
        m_buffer = std::make_unique<char[]>(kLargestBlock);
    }
    m_block = kFirstBlock;
    EmptyWindow(0);
    Rewind();
    return true;
}

void CFileLogStream::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    EmptyWindow(0);
}

int64_t CFileLogStream::Size() const {
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

bool CFileLogStream::Fill(int64_t pos) {
    if (m_fd < 0) {
        EmptyWindow(pos);
        return false;
    }
    // Reading on from the end of the last block: take larger blocks; after a jump, start small.
    bool sequential =
        WindowBegin() != nullptr && pos == WindowPos() + (WindowEnd() - WindowBegin());
    m_block = sequential ? std::min(m_block * 2, kLargestBlock) : kFirstBlock;
    ssize_t n;
    do {
        n = ::pread(m_fd, m_buffer.get(), m_block, static_cast<off_t>(pos));
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        // The end, or a read error: either way nothing more can be read here.
        EmptyWindow(pos);
        return false;
    }
    SetWindow(m_buffer.get(), m_buffer.get() + n, m_buffer.get(), pos);
    return true;
}
