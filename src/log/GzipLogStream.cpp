#include "log/GzipLogStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

constexpr const char* kTruncated = "unexpected end of data";

}  // namespace

CGzipLogStream::CGzipLogStream() = default;

CGzipLogStream::~CGzipLogStream() {
    Close();
}

bool CGzipLogStream::IsGzip(std::string_view firstBytes) {
    return firstBytes.size() >= 2 && static_cast<unsigned char>(firstBytes[0]) == 0x1f &&
           static_cast<unsigned char>(firstBytes[1]) == 0x8b;
}

bool CGzipLogStream::OpenMemory(std::string_view compressed) {
    Close();
    // 16 + the largest window: gzip framing only, with its header and check.
    if (inflateInit2(&m_zip, 16 + MAX_WBITS) != Z_OK) {
        return false;
    }
    m_zipReady = true;
    m_memory = compressed;
    if (!m_output) {
        m_output = std::make_unique<char[]>(kOutputBlock);
    }
    Restart();
    Rewind();
    return true;
}

bool CGzipLogStream::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || !OpenMemory(std::string_view())) {
        ::close(fd);
        return false;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    if (!m_input) {
        m_input = std::make_unique<unsigned char[]>(kInputBlock);
    }
    return true;
}

void CGzipLogStream::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_zipReady) {
        inflateEnd(&m_zip);
        m_zipReady = false;
    }
    m_zip = z_stream{};
    m_memory = std::string_view();
    m_damage.clear();
    m_size = -1;
    m_tail.clear();
    m_outputPos = 0;
    m_outputBytes = 0;
    EmptyWindow(0);
}

void CGzipLogStream::Restart() {
    inflateReset(&m_zip);
    m_zip.next_in = nullptr;
    m_zip.avail_in = 0;
    m_inputPos = 0;
    m_inputEnd = false;
    m_ended = false;
    m_outputPos = 0;
    m_outputBytes = 0;
}

bool CGzipLogStream::ReadInput() {
    if (m_inputEnd) {
        return false;
    }
    if (m_fd < 0) {
        std::size_t left = m_memory.size() - static_cast<std::size_t>(m_inputPos);
        std::size_t n = std::min<std::size_t>(left, UINT_MAX);
        m_zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(m_memory.data() + m_inputPos));
        m_zip.avail_in = static_cast<uInt>(n);
        m_inputPos += static_cast<int64_t>(n);
        m_inputEnd = n == 0;
        return n > 0;
    }
    ssize_t n;
    do {
        n = ::pread(m_fd, m_input.get(), kInputBlock, static_cast<off_t>(m_inputPos));
    } while (n < 0 && errno == EINTR);
    if (n < 0 && m_damage.empty()) {
        m_damage = "read error";
    }
    if (n <= 0) {
        m_inputEnd = true;
        return false;
    }
    m_zip.next_in = m_input.get();
    m_zip.avail_in = static_cast<uInt>(n);
    m_inputPos += n;
    return true;
}

bool CGzipLogStream::InflateBlock() {
    m_outputPos += static_cast<int64_t>(m_outputBytes);
    m_outputBytes = 0;
    if (m_ended) {
        return false;
    }
    m_zip.next_out = reinterpret_cast<Bytef*>(m_output.get());
    m_zip.avail_out = static_cast<uInt>(kOutputBlock);
    while (m_zip.avail_out > 0) {
        if (m_zip.avail_in == 0 && !ReadInput()) {
            // The data ended inside a member.
            if (m_damage.empty()) {
                m_damage = kTruncated;
            }
            m_ended = true;
            break;
        }
        int rc = inflate(&m_zip, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            // One member done; another may follow it.
            if (m_zip.avail_in == 0 && !ReadInput()) {
                m_ended = true;
                break;
            }
            inflateReset(&m_zip);
            continue;
        }
        if (rc != Z_OK) {
            if (m_damage.empty()) {
                m_damage = m_zip.msg != nullptr ? m_zip.msg : zError(rc);
            }
            m_ended = true;
            break;
        }
    }
    m_outputBytes = kOutputBlock - m_zip.avail_out;
    if (m_ended) {
        m_size = m_outputPos + static_cast<int64_t>(m_outputBytes);
    }
    return m_outputBytes > 0;
}

void CGzipLogStream::Measure() {
    if (!m_zipReady) {
        return;
    }
    const int64_t reading = Tell();
    // Decompresses on from wherever the decompression stands, keeping the last bytes seen.
    std::string tail;
    do {
        std::size_t n = std::min(m_outputBytes, kTailBytes);
        tail.append(m_output.get() + m_outputBytes - n, n);
        if (tail.size() > kTailBytes) {
            tail.erase(0, tail.size() - kTailBytes);
        }
    } while (InflateBlock());
    m_size = m_outputPos;
    m_tail = std::move(tail);
    // The output buffer no longer holds what the window showed.
    EmptyWindow(reading);
}

int64_t CGzipLogStream::Size() const {
    if (m_size < 0) {
        // Learning the size moves the decompression, not the read position.
        const_cast<CGzipLogStream*>(this)->Measure();
    }
    return m_size;
}

bool CGzipLogStream::Fill(int64_t pos) {
    if (!m_zipReady || (m_size >= 0 && pos >= m_size)) {
        EmptyWindow(pos);
        return false;
    }
    const int64_t tailPos = m_size - static_cast<int64_t>(m_tail.size());
    if (!m_tail.empty() && pos >= tailPos) {
        SetWindow(m_tail.data(), m_tail.data() + m_tail.size(), m_tail.data() + (pos - tailPos),
                  tailPos);
        return true;
    }
    if (pos < m_outputPos) {
        Restart();
    }
    while (pos >= m_outputPos + static_cast<int64_t>(m_outputBytes)) {
        if (!InflateBlock()) {
            EmptyWindow(pos);
            return false;
        }
    }
    SetWindow(m_output.get(), m_output.get() + m_outputBytes, m_output.get() + (pos - m_outputPos),
              m_outputPos);
    return true;
}
