// A log stream over a local file, read in large blocks with positioned reads: the log readers'
// file access. Reads after a seek start with a small block (probing a file by time reads little)
// and grow to 1 MiB while reading on. One thread at a time.
#pragma once

#include <memory>
#include <string>

#include "log/LogStream.h"

class CFileLogStream : public CLogStream {
  public:
    CFileLogStream() = default;
    ~CFileLogStream() override;

    // Opens the file for reading; false when it cannot be opened or is a directory. A stream
    // that is open already is closed first.
    bool Open(const std::string& path);
    void Close();

    // The file's current size; -1 when it is not open or cannot be asked.
    int64_t Size() const override;

  protected:
    bool Fill(int64_t pos) override;

  private:
    static constexpr std::size_t kFirstBlock = 16 * 1024;
    static constexpr std::size_t kLargestBlock = 256 * 1024;

    int m_fd = -1;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_block = kFirstBlock;
};
