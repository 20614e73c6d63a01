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
    } else {
        EmptyWindow(target);
    }
    m_eof = false;
    return true;
}

void CLogStream::Rewind() { Seek(0, SEEK_SET); }

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
        std::size_t avail =
            std::min(static_cast<std::size_t>(m_end - m_cur), limit - stored);
        const char* lf = static_cast<const char*>(std::memchr(m_cur, '\n', avail));
        std::size_t span = lf ? static_cast<std::size_t>(lf - m_cur) : avail;
        const char* cr = static_cast<const char*>(std::memchr(m_cur, '\r', span));
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
