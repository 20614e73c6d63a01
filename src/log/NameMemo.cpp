#include "log/NameMemo.h"

CSiteFile* CNameMemo::Find(std::string_view name, uint64_t hash) const {
    const Entry* entry = m_index.Find(hash, Matches(name));
    return entry == nullptr ? nullptr : entry->target;
}

void CNameMemo::Insert(std::string_view name, uint64_t hash, CSiteFile* target) {
    uint32_t length = static_cast<uint32_t>(name.size());
    if (name.size() > UINT32_MAX - sizeof length ||
        m_names.size() > UINT32_MAX - sizeof length - name.size()) {
        // Offsets are 32-bit: start over rather than overflow (a memo forgets, it never lies).
        Clear();
        if (name.size() > UINT32_MAX - sizeof length) {
            return;
        }
    }
    m_index.Add(hash, Entry{target, static_cast<uint32_t>(m_names.size())});
    m_names.append(reinterpret_cast<const char*>(&length), sizeof length);
    m_names.append(name);
}

void CNameMemo::Clear() {
    m_index.Clear();
    m_names.clear();
}
