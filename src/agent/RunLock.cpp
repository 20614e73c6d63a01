#include "agent/RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/LastMessage.h"
#include "res/StringTable.h"

CRunLock::~CRunLock() {
    ::close(m_fd);
}

std::unique_ptr<CRunLock> CRunLock::Acquire(const std::string& statsPath,
                                            const std::string& agentKey) {
    // A file of its own: the statistics file is replaced by renaming, which would leave a lock
    // on it behind on the old file.
    const std::string path = statsPath + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        SetLastMessage(IDS_RUN_LOCK_FAILED, agentKey.c_str(), path.c_str(), std::strerror(errno));
        return nullptr;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            SetLastMessage(IDS_RUN_LOCKED, agentKey.c_str());
        } else {
            SetLastMessage(IDS_RUN_LOCK_FAILED, agentKey.c_str(), path.c_str(),
                           std::strerror(error));
        }
        return nullptr;
    }
    return std::unique_ptr<CRunLock>(new CRunLock(fd));
}
