// One run per agent at a time, across every program that shares the working directory: a run
// holds an exclusive lock on the file beside the agent's statistics file (NAME.qvs.lock) for its
// whole length. The kernel releases it when the holder ends, however it ends. One thread at a
// time.
#pragma once

#include <memory>
#include <string>

class CRunLock {
  public:
    // Releases the lock.
    ~CRunLock();
    CRunLock(const CRunLock&) = delete;
    CRunLock& operator=(const CRunLock&) = delete;

    // Takes the lock of the agent whose statistics file is statsPath, without waiting. nullptr
    // with the reason in the last-message buffer when another program holds it ("Agent "%s" is
    // being run by another program ...", agentKey) or the lock file cannot be opened.
    static std::unique_ptr<CRunLock> Acquire(const std::string& statsPath,
                                             const std::string& agentKey);

  private:
    explicit CRunLock(int fd) : m_fd(fd) {}
    int m_fd;
};
