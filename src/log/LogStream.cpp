#include "log/LogStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

bool CLogStream::Seek(int64_t offset, int whence) {
    int64_t base = 0;
    switch (whence) {
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = Tell();
            break;
        case SEEK_END:
            base = Size();
            if (base < 0) {
                return false;
            }
            break;
        default:
            return false;
    }
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)) {
        return false;
    }
    int64_t target = base + offset;
    if (target < 0) {
        return false;
    }
    if (target >= m_windowPos && target - m_windowPos <= m_end - m_begin) {
        m_cur = m_begin + (target - m_windowPos);
        m_crKnown = false;
    } else {
        EmptyWindow(target);
    }
    m_eof = false;
    return true;
}

void CLogStream::Rewind() {
    Seek(0, SEEK_SET);
}

bool CLogStream::Refill() {
    if (Fill(Tell()) && m_cur < m_end) {
        return true;
    }
    m_eof = true;
    return false;
}

int CLogStream::Get() {
    if (m_cur == m_end && !Refill()) {
        return -1;
    }
    return static_cast<unsigned char>(*m_cur++);
}

const char* CLogStream::ReadLine(char* buffer, std::size_t size, std::size_t* length) {
    if (size < 2) {
        return nullptr;  // no room for a character: nothing could ever be read
    }
    const std::size_t limit = size - 1;
    std::size_t stored = 0;
    bool any = false;
    while (stored < limit) {
        if (m_cur == m_end && !Refill()) {
            if (!any) {
                return nullptr;
            }
            break;
        }
        std::size_t avail = std::min(static_cast<std::size_t>(m_end - m_cur), limit - stored);
        const char* lf = static_cast<const char*>(std::memchr(m_cur, '\n', avail));
        std::size_t span = lf ? static_cast<std::size_t>(lf - m_cur) : avail;
        const char* lineEnd = m_cur + span;
        if (!m_crKnown || m_crScanEnd < m_cur || (!m_crFound && m_crScanEnd < lineEnd)) {
            std::size_t n =
                std::min(static_cast<std::size_t>(m_end - m_cur), std::max(kCrLookahead, span));
            const void* next = std::memchr(m_cur, '\r', n);
            m_crFound = next != nullptr;
            m_crScanEnd = next ? static_cast<const char*>(next) : m_cur + n;
            m_crKnown = true;
        }
        const char* cr = m_crFound && m_crScanEnd < lineEnd ? m_crScanEnd : nullptr;
        if (cr) {
            span = static_cast<std::size_t>(cr - m_cur);
        }
        std::memcpy(buffer + stored, m_cur, span);
        stored += span;
        m_cur += span;
        if (span > 0) {
            any = true;
        }
        if (cr || lf) {
            char terminator = *m_cur++;
            if (terminator == '\r') {
                // A line feed right after the carriage return belongs to the same terminator;
                // any other byte starts the next line.
                if (m_cur < m_end || Refill()) {
                    if (*m_cur == '\n') {
                        ++m_cur;
                    }
                }
            }
            break;
        }
    }
    buffer[stored] = '\0';
    if (length) {
        *length = stored;
    }
    return buffer;
}

bool CLogStream::ReadLineView(char* buffer, std::size_t size, std::size_t padding,
                              std::string_view& line) {
    if (size < 2) {
        return false;
    }
    const std::size_t limit = size - 1;
    if (m_cur < m_end) {
        std::size_t left = static_cast<std::size_t>(m_end - m_cur);
        const char* lf = static_cast<const char*>(std::memchr(m_cur, '\n', std::min(left, limit)));
        if (lf != nullptr && static_cast<std::size_t>(m_end - lf) > padding) {
            const char* end = lf;
            if (!m_crKnown || m_crScanEnd < m_cur || (!m_crFound && m_crScanEnd < end)) {
                std::size_t n =
                    std::min(left, std::max(kCrLookahead, static_cast<std::size_t>(end - m_cur)));
                const void* next = std::memchr(m_cur, '\r', n);
                m_crFound = next != nullptr;
                m_crScanEnd = next ? static_cast<const char*>(next) : m_cur + n;
                m_crKnown = true;
            }
            if (m_crFound && m_crScanEnd < end) {
                // A carriage return ends the line first; one right before a line feed takes the
                // line feed with it (the byte after it is in the window: lf is further on).
                end = m_crScanEnd;
            }
            line = std::string_view(m_cur, static_cast<std::size_t>(end - m_cur));
            m_cur = end + 1;
            if (*end == '\r' && *m_cur == '\n') {
                ++m_cur;
            }
            return true;
        }
    }
    std::size_t length = 0;
    if (ReadLine(buffer, size, &length) == nullptr) {
        return false;
    }
    std::memset(buffer + length, 0, padding);
    line = std::string_view(buffer, length);
    return true;
}
