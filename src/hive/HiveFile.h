// The per-user settings hive kept in one text file (doc/formats/settings-file.md): a snapshot in
// memory for reading, and changes written through to the file so that several processes (the
// desktop program and tarvik commands) can share it without losing each other's changes. Every
// write takes an advisory lock, re-reads the file, applies the change to what the file holds
// now and replaces the file atomically. The file is private to the user (0600) and so is any
// folder created for it (0700). One thread at a time (the user-interface thread).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "hive/Hive.h"

class CHiveFile {
  public:
    // A change of the hive. It may run more than once (on the snapshot, then on the file's
    // contents under the lock), so it must give the same result each time it meets the same
    // hive.
    using Change = std::function<void(CHive&)>;

    explicit CHiveFile(std::string path);

    CHiveFile(const CHiveFile&) = delete;
    CHiveFile& operator=(const CHiveFile&) = delete;

    const std::string& Path() const { return m_path; }

    // Brings the snapshot up to date with the file (reading it again only when it changed since
    // the last read; an absent file is an empty hive) and re-applies the changes of an open
    // batch. False when the file exists but cannot be read; the snapshot then stays as it was.
    bool Refresh();
    const CHive& Snapshot() const { return m_snapshot; }

    // Applies the change to the snapshot. Outside a batch it is written to the file at once;
    // inside one it waits for the batch's end. False when the write failed; the snapshot then
    // shows the file as it is.
    bool Apply(const Change& change);

    // Batches nest; the outermost EndBatch writes every change made since the outermost
    // BeginBatch in one file write (none when nothing changed). False when that write failed.
    void BeginBatch();
    bool EndBatch();
    bool InBatch() const { return m_batchDepth > 0; }

    // The message of the last failed read or write (string table, with the file name and the
    // system's reason); empty after a success.
    const std::string& LastError() const { return m_lastError; }
    // Number of completed file writes.
    int WriteCount() const { return m_writeCount; }

  private:
    struct Signature {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        struct timespec mtime = {};
        struct timespec ctime = {};
        bool operator==(const Signature& o) const;
        static Signature Of(const struct stat& st);
    };
    // Reads the whole file: true with empty bytes when it does not exist.
    bool ReadFileBytes(std::string& bytes, Signature& signature);
    bool Commit(const std::vector<Change>& changes);
    void SetError(int messageId, int error);

    std::string m_path;
    CHive m_snapshot;
    Signature m_signature;
    bool m_haveSignature = false;
    std::vector<Change> m_pending;
    int m_batchDepth = 0;
    std::string m_lastError;
    int m_writeCount = 0;
};

// Opens a batch for its lifetime: End (or the destructor) ends it.
class CHiveBatch {
  public:
    explicit CHiveBatch(CHiveFile& hive) : m_hive(&hive) { m_hive->BeginBatch(); }
    ~CHiveBatch() { End(); }
    CHiveBatch(const CHiveBatch&) = delete;
    CHiveBatch& operator=(const CHiveBatch&) = delete;

    // The result of EndBatch; false when already ended.
    bool End() {
        if (m_hive == nullptr)
            return false;
        CHiveFile* hive = m_hive;
        m_hive = nullptr;
        return hive->EndBatch();
    }

  private:
    CHiveFile* m_hive;
};

// The name of the root key that the hive file holds: the per-user settings.
inline constexpr const char* kUserRootKey = "HKEY_CURRENT_USER";

// Where the hive file lies when nobody chose: the environment variable TARVIK_REGISTRY, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/quorvane/tarvik.reg.
std::string DefaultHivePath();

// The user's hive, at the path last given to SetUserHivePath or else at DefaultHivePath(),
// opened on first use. User-interface thread only.
CHiveFile& UserHive();
// Makes the hive file at path the user's hive (the command line's --registry, tests). The
// previous hive object is destroyed; registry keys opened on it must be closed first.
void SetUserHivePath(const std::string& path);

// Creates the directory and any missing parents, each new one private to the user (0700);
// existing ones are left as they are. False when it cannot be created or is no directory.
bool CreatePrivateDirectories(const std::string& dir);
