#include "sitemap/BinaryReader.h"

#include <cstring>
#include <filesystem>
#include <fstream>

bool CBinaryReader::Open(const std::string& path) {
    Close();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::error_code ec;
    const auto expected = std::filesystem::file_size(path, ec);
    if (!ec) {
        m_owned.reserve(static_cast<std::size_t>(expected));
    }
    char chunk[65536];
    for (;;) {
        in.read(chunk, sizeof chunk);
        const std::streamsize got = in.gcount();
        if (got <= 0) {
            break;
        }
        m_owned.insert(m_owned.end(), chunk, chunk + got);
    }
    if (in.bad()) {
        m_owned.clear();
        return false;
    }
    m_data = m_owned.data();
    m_size = m_owned.size();
    m_pos = 0;
    return true;
}

void CBinaryReader::OpenMemory(const void* data, std::size_t size) {
    Close();
    m_data = static_cast<const char*>(data);
    m_size = data ? size : 0;
    m_pos = 0;
}

void CBinaryReader::Close() {
    m_owned.clear();
    m_owned.shrink_to_fit();
    m_data = nullptr;
    m_size = 0;
    m_pos = 0;
}

bool CBinaryReader::ReadBytes(void* data, std::size_t count) {
    if (count > Remaining()) {
        return false;
    }
    if (count > 0) {
        std::memcpy(data, m_data + m_pos, count);
    }
    m_pos += count;
    return true;
}

bool CBinaryReader::ReadInt32(int32_t& value) {
    unsigned char b[4];
    if (!ReadBytes(b, sizeof b)) {
        return false;
    }
    uint32_t v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                 (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    value = static_cast<int32_t>(v);
    return true;
}

bool CBinaryReader::ReadByte(uint8_t& value) {
    return ReadBytes(&value, 1);
}

bool CBinaryReader::ReadDouble(double& value) {
    unsigned char b[8];
    if (!ReadBytes(b, sizeof b)) {
        return false;
    }
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v |= static_cast<uint64_t>(b[i]) << (8 * i);
    }
    std::memcpy(&value, &v, sizeof value);
    return true;
}

bool CBinaryReader::ReadString(std::string& text, int32_t maxLength) {
    std::size_t start = m_pos;
    int32_t length = 0;
    if (!ReadInt32(length) || length < 0 || length > maxLength ||
        static_cast<std::size_t>(length) > Remaining()) {
        m_pos = start;
        return false;
    }
    text.assign(m_data + m_pos, static_cast<std::size_t>(length));
    m_pos += static_cast<std::size_t>(length);
    return true;
}
