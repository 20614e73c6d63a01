#include "site/TextBuffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "base/PathRules.h"

namespace {
constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();
}

CTextBuffer::CTextBuffer(int32_t growStep) : m_growStep(growStep > 0 ? growStep : 4096) {}

CTextBuffer::~CTextBuffer() {
    std::free(m_data);
}

CTextBuffer::CTextBuffer(const CTextBuffer& other) : m_growStep(other.m_growStep) {
    Append(other.m_data, other.m_length);
}

CTextBuffer& CTextBuffer::operator=(const CTextBuffer& other) {
    if (this != &other) {
        m_length = 0;
        m_growStep = other.m_growStep;
        Append(other.m_data, other.m_length);
    }
    return *this;
}

CTextBuffer::CTextBuffer(CTextBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_length(std::exchange(other.m_length, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)),
      m_growStep(other.m_growStep) {}

CTextBuffer& CTextBuffer::operator=(CTextBuffer&& other) noexcept {
    if (this != &other) {
        std::free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_length = std::exchange(other.m_length, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_growStep = other.m_growStep;
    }
    return *this;
}

bool CTextBuffer::Reserve(int64_t needed) {
    if (needed <= m_capacity) {
        return true;
    }
    if (needed > kMaxSize) {
        return false;
    }
    // The larger of the old capacity and the growth step, doubled until it holds the contents
    // plus one more growth step.
    int64_t capacity = m_capacity > m_growStep ? m_capacity : m_growStep;
    while (capacity < needed + m_growStep) {
        capacity *= 2;
    }
    if (capacity > kMaxSize) {
        capacity = kMaxSize;
    }
    char* grown = static_cast<char*>(std::realloc(m_data, static_cast<size_t>(capacity)));
    if (grown == nullptr) {
        return false;
    }
    m_data = grown;
    m_capacity = static_cast<int32_t>(capacity);
    return true;
}

bool CTextBuffer::Append(const void* data, int32_t count) {
    return Insert(m_length, data, count);
}

bool CTextBuffer::Append(std::string_view text) {
    if (static_cast<int64_t>(text.size()) > kMaxSize) {
        return false;
    }
    return Append(text.data(), static_cast<int32_t>(text.size()));
}

bool CTextBuffer::AppendString(const char* text) {
    return text == nullptr || Append(std::string_view(text));
}

bool CTextBuffer::Assign(const char* text) {
    return Assign(std::string_view(text ? text : ""));
}

bool CTextBuffer::Assign(std::string_view text) {
    if (static_cast<int64_t>(text.size()) > kMaxSize) {
        return false;
    }
    if (text.empty()) {
        m_length = 0;
        return true;
    }
    // Reserving never moves the data when the text is (part of) this buffer's own contents,
    // because those already fit.
    if (!Reserve(static_cast<int64_t>(text.size()))) {
        return false;
    }
    std::memmove(m_data, text.data(), text.size());
    m_length = static_cast<int32_t>(text.size());
    return true;
}

bool CTextBuffer::Insert(int32_t pos, const void* data, int32_t count) {
    if (pos < 0 || pos > m_length || count < 0) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    // The bytes may come from this buffer itself (Append(View())): remember where, because
    // growing moves them.
    const char* source = static_cast<const char*>(data);
    const bool inside = m_data != nullptr && source >= m_data && source < m_data + m_length;
    const std::ptrdiff_t offset = inside ? source - m_data : 0;
    if (!Reserve(static_cast<int64_t>(m_length) + count)) {
        return false;
    }
    std::memmove(m_data + pos + count, m_data + pos, static_cast<size_t>(m_length - pos));
    if (inside) {
        // Bytes at or after pos have just moved up by count.
        const char* from = m_data + offset;
        if (offset >= pos) {
            from += count;
            std::memmove(m_data + pos, from, static_cast<size_t>(count));
        } else if (offset + count <= pos) {
            std::memmove(m_data + pos, from, static_cast<size_t>(count));
        } else {
            // The source straddles pos: its head stayed, its tail moved.
            const int32_t head = pos - static_cast<int32_t>(offset);
            std::memmove(m_data + pos, from, static_cast<size_t>(head));
            std::memmove(m_data + pos + head, m_data + pos + count,
                         static_cast<size_t>(count - head));
        }
    } else {
        std::memcpy(m_data + pos, source, static_cast<size_t>(count));
    }
    m_length += count;
    return true;
}

bool CTextBuffer::Insert(int32_t pos, std::string_view text) {
    if (static_cast<int64_t>(text.size()) > kMaxSize) {
        return false;
    }
    return Insert(pos, text.data(), static_cast<int32_t>(text.size()));
}

void CTextBuffer::Erase(int32_t pos, int32_t count) {
    if (pos < 0 || pos >= m_length || count <= 0) {
        return;
    }
    if (count > m_length - pos) {
        count = m_length - pos;
    }
    std::memmove(m_data + pos, m_data + pos + count, static_cast<size_t>(m_length - pos - count));
    m_length -= count;
}

bool CTextBuffer::Terminate() {
    if (!Reserve(static_cast<int64_t>(m_length) + 1)) {
        return false;
    }
    m_data[m_length] = '\0';
    return true;
}

void CTextBuffer::Truncate(int32_t length) {
    if (length >= 0 && length < m_length) {
        m_length = length;
    }
}

bool CTextBuffer::ReplaceAll(std::string_view key, std::string_view value) {
    if (key.empty() || m_length == 0) {
        return false;
    }
    // One pass into a new block, so that many replacements in a large page stay linear. The
    // search resumes after each replaced occurrence, so a value holding the key stays as it is.
    std::string out;
    int32_t from = 0;
    bool replaced = false;
    try {
        while (from < m_length) {
            std::ptrdiff_t found =
                FindNoCase(m_data + from, static_cast<size_t>(m_length - from), key);
            if (found < 0) {
                break;
            }
            if (!replaced) {
                out.reserve(static_cast<size_t>(m_length));
                replaced = true;
            }
            out.append(m_data + from, static_cast<size_t>(found));
            out.append(value);
            from += static_cast<int32_t>(found) + static_cast<int32_t>(key.size());
        }
        if (!replaced) {
            return false;
        }
        out.append(m_data + from, static_cast<size_t>(m_length - from));
    } catch (const std::exception&) {
        return false;
    }
    if (out.size() > static_cast<size_t>(kMaxSize) || !Reserve(static_cast<int64_t>(out.size()))) {
        // Too large: the contents stay as they were.
        return false;
    }
    std::memcpy(m_data, out.data(), out.size());
    m_length = static_cast<int32_t>(out.size());
    return true;
}
