#include "log/MemoryLogStream.h"

CMemoryLogStream::CMemoryLogStream(std::string_view data) : m_data(data) {
    SetWindow(m_data.data(), m_data.data() + m_data.size(), m_data.data(), 0);
}

bool CMemoryLogStream::Fill(int64_t pos) {
    // The window is always all of the data; only a position past its end finds nothing.
    if (pos < 0 || pos >= Size()) {
        EmptyWindow(pos);
        return false;
    }
    SetWindow(m_data.data(), m_data.data() + m_data.size(), m_data.data() + pos, 0);
    return true;
}
