// Replaces a local file atomically: the new contents go to a temporary file beside it, which is
// flushed to disk and renamed over the old file only when every write succeeded. A failure (or
// destroying the object without Commit) removes the temporary file and leaves the old file
// whole. One thread at a time.
//
// Durability: by default Commit waits until the file and the rename are on disk (two fsyncs),
// which is right for the few files that hold what cannot be had again (settings, statistics,
// backups). Writers of many files in one go (the pages and instruction files of a site) turn
// that off with SetDurable(false) and make everything durable at the end with one
// SyncFileSystem: each file is still replaced whole or not at all.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

class CAtomicFile {
  public:
    explicit CAtomicFile(std::string path);
    // Discards the temporary file unless committed.
    ~CAtomicFile();

    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file. The committed file keeps the permission bits (and, where the
    // process may set them, the owner and group) of the file it replaces; a new file gets
    // newFileMode, less the process umask unless exactMode is set. A path that is a symbolic
    // link replaces the file the link points to, so the link stays. False when the temporary
    // file cannot be created (missing or unwritable directory), or when the path names
    // something other than a regular file (a directory, a device, a pipe).
    bool Open(mode_t newFileMode = 0666, bool exactMode = false);

    // Buffered write. False once any write has failed; later writes then do nothing.
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }

    // Whether Commit waits for the disk (default true). Call before Commit.
    void SetDurable(bool durable) { m_durable = durable; }

    // Flushes, syncs (when durable), sets the mode and renames over the target. False on any
    // failure, in which case the target is untouched and the temporary file is gone.
    bool Commit();

    // Removes the temporary file without touching the target.
    void Discard();

    bool Failed() const { return m_failed; }
    // The errno of the first failure (0 when none, or when the target was refused for not
    // being a regular file, which gives EISDIR for a directory and EINVAL otherwise).
    int ErrorNumber() const { return m_error; }
    const std::string& Path() const { return m_path; }

    // Writes data as the whole new contents of path. The convenience form of the above.
    static bool Replace(const std::string& path, std::string_view data, mode_t newFileMode = 0666,
                        bool exactMode = false, bool durable = true);

    // Waits until everything written to the file system that holds path is on disk. False when
    // path cannot be opened or the file system reports an error.
    static bool SyncFileSystem(const std::string& path);

  private:
    bool FlushBuffer();
    bool Fail(int error);

    std::string m_path;
    std::string m_target;  // m_path with a final symbolic link resolved
    std::string m_tempPath;
    int m_fd = -1;
    mode_t m_mode = 0644;
    uid_t m_uid = static_cast<uid_t>(-1);
    gid_t m_gid = static_cast<gid_t>(-1);
    bool m_failed = false;
    bool m_durable = true;
    int m_error = 0;
    std::string m_buffer;
};
