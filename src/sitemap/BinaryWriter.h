// Writes the little-endian tagged binary stream of the statistics file. The file is replaced
// atomically: nothing reaches the target until Close succeeds. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CAtomicFile;

class CBinaryWriter {
  public:
    CBinaryWriter();
    // Discards what was written unless Close succeeded.
    ~CBinaryWriter();

    // Starts a new version of the file at path. False when it cannot be created.
    bool Open(const std::string& path);
    // Writes into *bytes (borrowed until Close or destruction) instead of a file.
    void OpenMemory(std::string* bytes);
    void WriteInt32(int32_t value);
    void WriteByte(uint8_t value);
    void WriteDouble(double value);
    // An int32 length, then the bytes (no terminator).
    void WriteString(std::string_view text);
    void WriteBytes(const void* data, std::size_t count);
    // Flushes and puts the new file in place. False when any write or the replacement failed;
    // the old file is then whole.
    bool Close();

  private:
    std::unique_ptr<CAtomicFile> m_file;
    std::string m_path;
    std::string* m_memory = nullptr;
};
