#include "synthesis/PrefetchList.h"

void PrefetchList::Append(CSiteFile* file, bool isPageMarker) {
    if (m_entries.empty()) {
        m_entries.reserve(4);
    }
    m_entries.push_back(PrefetchEntry{file, isPageMarker});
    if (m_entries.size() == kScanLimit + 1) {
        for (const PrefetchEntry& entry : m_entries) {
            if (!entry.IsPageMarker) {
                m_files.insert(entry.File);
            }
        }
    } else if (m_entries.size() > kScanLimit + 1 && !isPageMarker) {
        m_files.insert(file);
    }
}

bool PrefetchList::HoldsFile(const CSiteFile* file) const {
    if (m_entries.size() > kScanLimit) {
        return m_files.count(file) != 0;
    }
    for (const PrefetchEntry& entry : m_entries) {
        if (entry.File == file && !entry.IsPageMarker) {
            return true;
        }
    }
    return false;
}
