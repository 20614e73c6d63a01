// The byte stream a log reader works on: the positioning of a binary-mode C stream (tell, seek
// from the start, the current position or the end, rewind, an end-of-file indicator) over a
// window of bytes that the concrete stream refills (CMemoryLogStream over bytes in memory,
// CFileLogStream over a file read in large blocks). One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class CLogStream {
  public:
    virtual ~CLogStream() = default;

    CLogStream(const CLogStream&) = delete;
    CLogStream& operator=(const CLogStream&) = delete;

    // The byte offset of the next byte to read.
    int64_t Tell() const { return m_windowPos + (m_cur - m_begin); }
    // As fseek: whence is SEEK_SET, SEEK_CUR or SEEK_END. Positions past the end are allowed (reads
    // there find the end); a negative resulting position, an unknown size for SEEK_END or an
    // unknown whence fail and leave the position as it was. Success clears the end-of-file
    // indicator.
    bool Seek(int64_t offset, int whence);
    // Back to offset 0, clearing the end-of-file indicator.
    void Rewind();
    // Set once a read has tried to go past the end; cleared by Seek and Rewind.
    bool Eof() const { return m_eof; }
    // The size in bytes, or -1 when it cannot be determined.
    virtual int64_t Size() const = 0;
    // Why the data stops being readable part way (a damaged compressed log), once reading has
    // met it; empty while the data reads well, and always for plain files and memory.
    virtual std::string Damage() const { return std::string(); }

    // One byte, or -1 at the end (which sets the end-of-file indicator).
    int Get();

    // Reads one line into buffer (size bytes, at least 2): a line feed, a carriage return, or a
    // carriage return and line feed end it and are not stored; at most size - 1 bytes are stored,
    // the rest of a longer line stays to be read as a line of its own; the end of the data also
    // ends a line. The buffer is terminated with a NUL (a NUL inside the line is kept, so the
    // length tells where the line ends). Returns buffer and sets *length, or returns nullptr when
    // the end came before the first byte (or size is below 2).
    const char* ReadLine(char* buffer, std::size_t size, std::size_t* length);

    // The same line as ReadLine would read, given as a view: into the stream's own bytes when the
    // whole line and `padding` bytes after it lie in the current window, else copied into buffer
    // (size + padding bytes), whose padding bytes after the line are then zeroed. Either way
    // `padding` bytes after the line can be read. The view stays valid until the next read.
    // False at the end, as ReadLine.
    bool ReadLineView(char* buffer, std::size_t size, std::size_t padding, std::string_view& line);

  protected:
    CLogStream() = default;

    // Makes the window hold the bytes from offset pos on, so that Tell() == pos. False when pos is
    // at or past the end of the data (the window may then be empty).
    virtual bool Fill(int64_t pos) = 0;

    // Sets the window to [begin, end), the byte at begin having offset pos, and the read position
    // to cur inside it.
    void SetWindow(const char* begin, const char* end, const char* cur, int64_t pos) {
        m_begin = begin;
        m_end = end;
        m_cur = cur;
        m_windowPos = pos;
        m_crKnown = false;
    }
    // An empty window standing at offset pos.
    void EmptyWindow(int64_t pos) { SetWindow(nullptr, nullptr, nullptr, pos); }

    const char* WindowBegin() const { return m_begin; }
    const char* WindowEnd() const { return m_end; }
    int64_t WindowPos() const { return m_windowPos; }

  private:
    // Refills an exhausted window at the current position; false (and the end-of-file indicator
    // set) at the end of the data.
    bool Refill();

    const char* m_begin = nullptr;
    const char* m_end = nullptr;
    const char* m_cur = nullptr;
    int64_t m_windowPos = 0;
    bool m_eof = false;
    // When m_crKnown: the window holds no carriage return from m_cur up to m_crScanEnd, which is
    // one when m_crFound. Lines rarely hold one, so one search ahead serves many lines.
    static constexpr std::size_t kCrLookahead = 64 * 1024;
    bool m_crKnown = false;
    bool m_crFound = false;
    const char* m_crScanEnd = nullptr;
};
