// A log stream over bytes in memory, borrowed for the stream's life: the entry point of the
// readers for tests and fuzzing, and for logs that are already in memory. One thread at a time.
#pragma once

#include <string_view>

#include "log/LogStream.h"

class CMemoryLogStream : public CLogStream {
  public:
    // data: the log's bytes, borrowed; they must outlive the stream.
    explicit CMemoryLogStream(std::string_view data);

    int64_t Size() const override { return static_cast<int64_t>(m_data.size()); }

  protected:
    bool Fill(int64_t pos) override;

  private:
    std::string_view m_data;
};
