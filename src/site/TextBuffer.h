// A growable byte buffer that carries a whole file to and from the site access layer, and the
// page text that the scanner and the embedding edit. One owner, one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CTextBuffer {
  public:
    explicit CTextBuffer(int32_t growStep = 4096);
    ~CTextBuffer();

    CTextBuffer(const CTextBuffer& other);
    CTextBuffer& operator=(const CTextBuffer& other);
    CTextBuffer(CTextBuffer&& other) noexcept;
    CTextBuffer& operator=(CTextBuffer&& other) noexcept;

    // Appends count bytes (which may come from this buffer itself). False when the buffer
    // cannot grow (out of memory, or past 2 GiB); the contents are then unchanged.
    bool Append(const void* data, int32_t count);
    bool Append(std::string_view text);
    // Appends a zero-terminated string (without its terminator).
    bool AppendString(const char* text);
    // Replaces the contents by a zero-terminated string.
    bool Assign(const char* text);
    bool Assign(std::string_view text);
    // Inserts count bytes at position pos (0..Length()). False on a bad position or no memory.
    bool Insert(int32_t pos, const void* data, int32_t count);
    bool Insert(int32_t pos, std::string_view text);
    // Removes count bytes from position pos; the range is clipped to the contents.
    void Erase(int32_t pos, int32_t count);

    // Stores a zero byte after the contents without counting it, so that the contents can be
    // scanned as a C string. False when there is no room and none can be had.
    bool Terminate();

    // Empties the buffer and keeps its memory.
    void Clear() { m_length = 0; }
    // Shortens the contents to length bytes; a length outside 0..Length() changes nothing.
    void Truncate(int32_t length);

    // Replaces every occurrence of key (ignoring case) by value; the search resumes after the
    // inserted value, so a value holding the key is not replaced again. True when at least one
    // occurrence was replaced; false (contents unchanged) when none was, or when the result
    // would not fit in memory or in 2 GiB.
    bool ReplaceAll(std::string_view key, std::string_view value);

    char* Data() { return m_data; }
    const char* Data() const { return m_data; }
    int32_t Length() const { return m_length; }
    std::string_view View() const { return std::string_view(m_data ? m_data : "", m_length); }
    std::string ToString() const { return std::string(View()); }

  private:
    // Makes room for at least needed bytes in all.
    bool Reserve(int64_t needed);

    char* m_data = nullptr;
    int32_t m_length = 0;
    int32_t m_capacity = 0;
    int32_t m_growStep;
};
