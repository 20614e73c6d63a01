#include "sitemap/BinaryWriter.h"

#include <cstring>

#include "site/AtomicFile.h"

CBinaryWriter::CBinaryWriter() = default;
CBinaryWriter::~CBinaryWriter() = default;

bool CBinaryWriter::Open(const std::string& path) {
    m_path = path;
    m_file = std::make_unique<CAtomicFile>(path);
    if (!m_file->Open()) {
        m_file.reset();
        return false;
    }
    return true;
}

void CBinaryWriter::OpenMemory(std::string* bytes) {
    m_file.reset();
    m_memory = bytes;
}

void CBinaryWriter::WriteBytes(const void* data, std::size_t count) {
    if (m_memory != nullptr) {
        m_memory->append(static_cast<const char*>(data), count);
    } else if (m_file) {
        m_file->Write(data, count);
    }
}

void CBinaryWriter::WriteInt32(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
    WriteBytes(bytes, sizeof bytes);
}

void CBinaryWriter::WriteByte(uint8_t value) {
    WriteBytes(&value, 1);
}

void CBinaryWriter::WriteDouble(double value) {
    uint64_t v;
    std::memcpy(&v, &value, sizeof v);
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<unsigned char>(v >> (8 * i));
    }
    WriteBytes(bytes, sizeof bytes);
}

void CBinaryWriter::WriteString(std::string_view text) {
    WriteInt32(static_cast<int32_t>(text.size()));
    WriteBytes(text.data(), text.size());
}

bool CBinaryWriter::Close() {
    if (m_memory != nullptr) {
        m_memory = nullptr;
        return true;
    }
    if (!m_file) {
        return false;
    }
    bool ok = m_file->Commit();
    m_file.reset();
    return ok;
}
