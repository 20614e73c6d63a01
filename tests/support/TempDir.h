// A scratch directory for one test (or one server fixture), removed again when the object dies
// unless the running test failed: then it is kept, and its path printed, so that what the test
// left behind can be looked at. Test thread only.
#pragma once

#include <string>

class CTempDir {
  public:
    // Creates a fresh directory named after prefix. Aborts the test program when that is
    // impossible (nothing sensible could run without it). When worldReadable is set the
    // directory (mode 0755) is placed in /tmp, where every user can reach it, so that a server
    // that drops its privileges (nginx started by root serves as "nobody") can read below it.
    explicit CTempDir(const std::string& prefix, bool worldReadable = false);
    ~CTempDir();

    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() + "/" + relative.
    std::string operator/(const std::string& relative) const;

    // Writes a file below the directory (creating its parent directories, mode 0755); the file
    // gets mode 0644. False when that fails.
    bool WriteFile(const std::string& relative, const std::string& contents) const {
        return WriteFileAt(m_path, relative, contents);
    }
    // Creates a directory below (and its parents); mode 0755 unless given.
    bool MakeDir(const std::string& relative, unsigned mode = 0755) const {
        return MakeDirAt(m_path, relative, mode);
    }
    // The same below any directory (a server's root, say).
    static bool WriteFileAt(const std::string& dir, const std::string& relative,
                            const std::string& contents);
    static bool MakeDirAt(const std::string& dir, const std::string& relative,
                          unsigned mode = 0755);

  private:
    std::string m_path;
};

// True while the running test (or, outside a test, the running test suite) has failed.
bool CurrentTestFailed();

// Reads a whole file; "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);
