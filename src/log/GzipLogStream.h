// A log stream over gzip-compressed bytes (a rotated log such as access.log.2.gz), decompressed
// through zlib as it is read: offsets, Tell, Seek and Size all count decompressed bytes, so the
// readers and the resume state see the log as if it had never been compressed. Concatenated gzip
// members read as one log. Seeking back restarts the decompression from the front; seeking on
// decompresses up to the target. One thread at a time.
#pragma once

#include <zlib.h>

#include <memory>
#include <string>
#include <string_view>

#include "log/LogStream.h"

class CGzipLogStream : public CLogStream {
  public:
    CGzipLogStream();
    ~CGzipLogStream() override;

    // Whether bytes start as a gzip stream does (its two magic bytes).
    static bool IsGzip(std::string_view firstBytes);

    // Reads the compressed bytes from memory (borrowed: they must outlive the stream). False
    // when zlib cannot be set up.
    bool OpenMemory(std::string_view compressed);
    // Reads the compressed bytes from a file; false when it cannot be opened or is a directory.
    bool Open(const std::string& path);
    void Close();

    // The decompressed size. Unknown until the data has been decompressed to its end once, so
    // the first call decompresses all of it (damage found on the way ends the size there).
    int64_t Size() const override;
    // Why the data stops being readable part way ("unexpected end of data", zlib's words for a
    // corrupt block ...), once the decompression has met it; empty while the data reads well.
    std::string Damage() const override { return m_damage; }

  protected:
    bool Fill(int64_t pos) override;

  private:
    static constexpr std::size_t kInputBlock = 64 * 1024;
    static constexpr std::size_t kOutputBlock = 256 * 1024;
    // Decompressed bytes kept from the end of the data once it has been reached, so that probing
    // the last line does not restart the decompression.
    static constexpr std::size_t kTailBytes = 64 * 1024;

    // Starts the decompression again at the front of the compressed data.
    void Restart();
    // Decompresses the next block into the output buffer (the window moves on to it). False at
    // the end of the data or at damage.
    bool InflateBlock();
    // The next compressed bytes into the input buffer; false when none are left (or on a read
    // error, which sets the damage).
    bool ReadInput();
    // Decompresses to the end, learning the size and keeping the tail.
    void Measure();

    // Compressed source: memory or a file descriptor.
    std::string_view m_memory;
    int m_fd = -1;
    int64_t m_inputPos = 0;  // compressed bytes taken in so far
    bool m_inputEnd = false;

    z_stream m_zip{};
    bool m_zipReady = false;
    bool m_ended = false;  // the decompression reached the end of the data (or damage)
    std::string m_damage;

    std::unique_ptr<unsigned char[]> m_input;
    std::unique_ptr<char[]> m_output;
    int64_t m_outputPos = 0;        // offset of the output buffer's first byte
    std::size_t m_outputBytes = 0;  // bytes the output buffer holds

    int64_t m_size = -1;  // known once the end has been reached
    std::string m_tail;   // the last decompressed bytes, once m_size is known
};
