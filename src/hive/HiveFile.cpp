#include "hive/HiveFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "res/StringTable.h"
#include "site/AtomicFile.h"

namespace {

// A settings file larger than this is not read (it cannot be ours, and reading it would only
// exhaust memory).
constexpr off_t kMaxHiveBytes = 64 * 1024 * 1024;
constexpr mode_t kFileMode = 0600;
constexpr mode_t kDirMode = 0700;

std::string ParentDirectory(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Holds an exclusive advisory lock on a file beside the hive for its lifetime. The lock is on a
// file of its own because the hive file itself is replaced by rename on every write.
class CHiveLock {
  public:
    explicit CHiveLock(const std::string& hivePath) {
        std::string lockPath = hivePath + ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~CHiveLock() {
        if (m_fd >= 0)
            ::close(m_fd);  // closing releases the lock
    }
    CHiveLock(const CHiveLock&) = delete;
    CHiveLock& operator=(const CHiveLock&) = delete;

    bool Locked() const { return m_fd >= 0; }
    int Error() const { return m_error; }

  private:
    int m_fd = -1;
    int m_error = 0;
};

std::unique_ptr<CHiveFile>& UserHiveSlot() {
    static std::unique_ptr<CHiveFile> hive;
    return hive;
}

}  // namespace

bool CHiveFile::Signature::operator==(const Signature& o) const {
    if (exists != o.exists)
        return false;
    if (!exists)
        return true;
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
}

CHiveFile::Signature CHiveFile::Signature::Of(const struct stat& st) {
    Signature s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

CHiveFile::CHiveFile(std::string path) : m_path(std::move(path)) {}

void CHiveFile::SetError(int messageId, int error) {
    m_lastError = FormatString(messageId, m_path.c_str(), std::strerror(error));
}

bool CHiveFile::ReadFileBytes(std::string& bytes, Signature& signature) {
    bytes.clear();
    signature = Signature();
    int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        SetError(IDS_SETTINGS_READ_FAILED, errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        SetError(IDS_SETTINGS_READ_FAILED, errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(IDS_SETTINGS_READ_FAILED, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        ::close(fd);
        return false;
    }
    if (st.st_size > kMaxHiveBytes) {
        SetError(IDS_SETTINGS_READ_FAILED, EFBIG);
        ::close(fd);
        return false;
    }
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetError(IDS_SETTINGS_READ_FAILED, errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() > static_cast<std::size_t>(kMaxHiveBytes)) {
            SetError(IDS_SETTINGS_READ_FAILED, EFBIG);
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    signature = Signature::Of(st);
    return true;
}

bool CHiveFile::Refresh() {
    struct stat st;
    Signature now;
    if (::stat(m_path.c_str(), &st) == 0) {
        now = Signature::Of(st);
    } else if (errno != ENOENT) {
        SetError(IDS_SETTINGS_READ_FAILED, errno);
        return false;
    }
    if (m_haveSignature && now == m_signature) {
        m_lastError.clear();
        return true;
    }
    std::string bytes;
    Signature signature;
    if (!ReadFileBytes(bytes, signature)) {
        return false;
    }
    CHive hive;
    hive.Parse(bytes.data(), bytes.size());
    for (const Change& change : m_pending) {
        change(hive);
    }
    m_snapshot = std::move(hive);
    m_signature = signature;
    m_haveSignature = true;
    m_lastError.clear();
    return true;
}

bool CHiveFile::Apply(const Change& change) {
    change(m_snapshot);
    if (m_batchDepth > 0) {
        m_pending.push_back(change);
        return true;
    }
    return Commit({change});
}

void CHiveFile::BeginBatch() {
    ++m_batchDepth;
}

bool CHiveFile::EndBatch() {
    if (m_batchDepth == 0)
        return false;
    if (--m_batchDepth > 0)
        return true;
    std::vector<Change> changes = std::move(m_pending);
    m_pending.clear();
    if (changes.empty())
        return true;
    return Commit(changes);
}

bool CHiveFile::Commit(const std::vector<Change>& changes) {
    const auto fail = [this](int id, int error) {
        SetError(id, error);
        // Show the file as it is: the changes did not reach it. (A file that cannot be read
        // leaves the snapshot as it was.)
        m_haveSignature = false;
        std::string message = m_lastError;
        Refresh();
        m_lastError = message;
        return false;
    };

    if (!CreatePrivateDirectories(ParentDirectory(m_path))) {
        return fail(IDS_SETTINGS_WRITE_FAILED, errno);
    }
    CHiveLock lock(m_path);
    if (!lock.Locked()) {
        return fail(IDS_SETTINGS_WRITE_FAILED, lock.Error());
    }
    std::string bytes;
    Signature signature;
    if (!ReadFileBytes(bytes, signature)) {
        // Never replace a file that could not be read: its contents would be lost.
        return false;
    }
    CHive hive;
    HiveParseReport report = hive.Parse(bytes.data(), bytes.size());
    if (report.skippedLines > 0) {
        // Lines that cannot be parsed would be gone after the rewrite; keep the file as it was
        // beside it so that nothing is lost for good.
        if (!CAtomicFile::Replace(m_path + ".damaged", bytes, kFileMode, true)) {
            return fail(IDS_SETTINGS_WRITE_FAILED, errno != 0 ? errno : EIO);
        }
    }
    for (const Change& change : changes) {
        change(hive);
    }
    std::string text = hive.Serialize();

    // The file holds the obfuscated password: keep it private even when it was not.
    struct stat st;
    if (signature.exists && ::stat(m_path.c_str(), &st) == 0 && (st.st_mode & 07777) != kFileMode) {
        ::chmod(m_path.c_str(), kFileMode);
    }
    errno = 0;
    CAtomicFile file(m_path);
    if (!file.Open(kFileMode, true) || !file.Write(text) || !file.Commit()) {
        return fail(IDS_SETTINGS_WRITE_FAILED, errno != 0 ? errno : EIO);
    }
    ++m_writeCount;
    m_snapshot = std::move(hive);
    // The next Refresh compares against the file as written.
    m_haveSignature = false;
    if (::stat(m_path.c_str(), &st) == 0) {
        m_signature = Signature::Of(st);
        m_haveSignature = true;
    }
    m_lastError.clear();
    return true;
}

bool CreatePrivateDirectories(const std::string& dir) {
    if (dir.empty())
        return false;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT)
        return false;
    std::string parent = ParentDirectory(dir);
    if (parent != dir && !CreatePrivateDirectories(parent)) {
        return false;
    }
    if (::mkdir(dir.c_str(), kDirMode) != 0 && errno != EEXIST) {
        return false;
    }
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DefaultHivePath() {
    const char* env = std::getenv("TARVIK_REGISTRY");
    if (env != nullptr && env[0] != '\0') {
        return env;
    }
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            struct passwd* pw = getpwuid(getuid());
            home = pw != nullptr ? pw->pw_dir : "";
        }
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/quorvane/tarvik.reg";
}

CHiveFile& UserHive() {
    std::unique_ptr<CHiveFile>& slot = UserHiveSlot();
    if (!slot) {
        slot = std::make_unique<CHiveFile>(DefaultHivePath());
    }
    return *slot;
}

void SetUserHivePath(const std::string& path) {
    UserHiveSlot() = std::make_unique<CHiveFile>(path);
}
