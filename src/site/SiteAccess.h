// The one interface through which every part reaches a site's files, whatever the site's
// location (local disk, FTP, HTTP). Names are site-relative ("/dir/page.html"). An access object
// is used by one thread at a time and reports failures by its results; it never throws. Why the
// last operation failed is kept as a short text (LastError) for logs and verbose output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "site/TextBuffer.h"

class CSiteAccess {
  public:
    virtual ~CSiteAccess() = default;

    // Appends the file's whole contents to buffer. False when it cannot be read.
    virtual bool ReadFile(const std::string& name, CTextBuffer& buffer) = 0;
    // Creates or replaces the file with the buffer's bytes. False on any failure.
    virtual bool WriteFile(const std::string& name, const CTextBuffer& buffer) = 0;
    virtual bool IsDirectory(const std::string& name) = 0;
    virtual bool IsReadOnly(const std::string& name) = 0;
    virtual bool Exists(const std::string& name) = 0;
    // Size in bytes; -1 when it cannot be had (0 for an FTP site that cannot be reached).
    virtual int32_t GetFileSize(const std::string& name) = 0;
    // Creates one directory (not its parents).
    virtual bool CreateDirectory(const std::string& name) = 0;
    virtual std::string GetRoot() = 0;

    // Makes every file written so far durable on its medium. A local site replaces each file
    // atomically as it is written but leaves the wait for the disk to this call, one wait for
    // the many files of a run. Servers have nothing to do. False when the flush failed.
    virtual bool Sync() { return true; }

    // Why the most recent failed operation failed ("" when it succeeded), formatted from the
    // string table. Operations that answer a question (IsDirectory, Exists ...) leave it alone
    // when the answer is a plain no.
    const std::string& LastError() const { return m_lastError; }

    // Names come from HTML pages and access logs, which anyone can write into. A name is used
    // only when, after resolving "." and ".." segments (with "/" and "\" as separators, both as
    // written and percent-decoded), it stays inside the site root and holds no NUL byte.
    static bool StaysInsideRoot(std::string_view name);

  protected:
    // Records the failure text of string-table entry id, formatted with the arguments.
    void SetError(int id, ...);
    void ClearError() { m_lastError.clear(); }
    // Takes over the failure text of another access object (one this object hands work to).
    void SetErrorText(const std::string& text) { m_lastError = text; }
    // StaysInsideRoot, recording IDS_SITE_NAME_OUTSIDE when the name is refused.
    bool CheckName(std::string_view name);

  private:
    std::string m_lastError;
};

// Initialises the network library that FTP and HTTP sites use, once for the process, before any
// other thread exists (program start-up). False when it cannot be initialised.
bool InitNetworkAccess();
