// Reads the little-endian tagged binary stream of the statistics file from bytes in memory
// (Open reads a whole file into memory first). Every read checks the end of the data: a read
// past it fails and leaves the output unchanged. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CBinaryReader {
  public:
    // Reads the whole file. False when it cannot be read.
    bool Open(const std::string& path);
    // Reads from data (borrowed: it must outlive the reader's use).
    void OpenMemory(const void* data, std::size_t size);
    void Close();

    bool ReadTag(int32_t& tag) { return ReadInt32(tag); }
    bool ReadInt32(int32_t& value);
    bool ReadByte(uint8_t& value);
    bool ReadDouble(double& value);
    // An int32 length, then that many bytes; false for a negative length, one past maxLength or
    // one past the end of the data.
    bool ReadString(std::string& text, int32_t maxLength);
    bool ReadBytes(void* data, std::size_t count);

    // Bytes read so far, and bytes left.
    std::size_t BytesRead() const { return m_pos; }
    std::size_t Remaining() const { return m_size - m_pos; }

  private:
    std::vector<char> m_owned;
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
};
