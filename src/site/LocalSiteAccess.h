// Site access to a directory of the local file system. Keeps no state between calls but whether
// written files still wait for the disk; one thread at a time. Names that would leave the root
// are refused (see CSiteAccess::StaysInsideRoot).
#pragma once

#include "site/SiteAccess.h"

class CLocalSiteAccess : public CSiteAccess {
  public:
    // root: the site's root directory as configured; backslashes become "/" and a trailing "/"
    // is added. An absolute root keeps its leading "/". An empty root is no site at all: every
    // operation then fails (it never stands for the file-system root).
    explicit CLocalSiteAccess(std::string root);
    // Syncs what was written and not synced yet.
    ~CLocalSiteAccess() override;

    // Only regular files are read (a pipe or a device in the site could block or never end).
    // A failed read leaves the buffer as it was.
    bool ReadFile(const std::string& name, CTextBuffer& buffer) override;
    // Replaces the file atomically, keeping its permission bits (and owner where allowed); a
    // failure leaves the old file whole. A file without any write permission bit (read-only)
    // is not replaced. A symbolic link keeps pointing at the replaced file. The wait for the
    // disk is left to Sync.
    bool WriteFile(const std::string& name, const CTextBuffer& buffer) override;
    bool IsDirectory(const std::string& name) override;
    // True when the entry has no write permission bit at all.
    bool IsReadOnly(const std::string& name) override;
    bool Exists(const std::string& name) override;
    // -1 for a missing entry, a directory or other non-regular entry, or an unreadable file;
    // sizes past 2 GiB read as the largest 32-bit size.
    int32_t GetFileSize(const std::string& name) override;
    // Creates one directory (not its parents).
    bool CreateDirectory(const std::string& name) override;
    std::string GetRoot() override { return m_root; }
    // One flush of the file system that holds the root, when files were written since the last.
    bool Sync() override;

  private:
    // The local path of a name (root followed by the name); false, recording why, when the name
    // is refused or there is no root.
    bool Resolve(const std::string& name, std::string& path);

    std::string m_root;
    bool m_unsynced = false;
};
