#include "log/NameMemo.h"

#include <cstring>

#include "log/LogFields.h"

CSiteFile* CNameMemo::Find(std::string_view name, uint64_t hash) const {
    if (m_slots.empty()) {
        return nullptr;
    }
    std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.target == nullptr) {
            return nullptr;
        }
        if (slot.tag == TagOf(hash)) {
            uint32_t length;
            std::memcpy(&length, m_names.data() + slot.offset, sizeof length);
            if (length == name.size() && std::memcmp(m_names.data() + slot.offset + sizeof length,
                                                     name.data(), name.size()) == 0) {
                return slot.target;
            }
        }
    }
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
    if (2 * (m_size + 1) > m_slots.size()) {
        Grow();
    }
    std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (m_slots[i].target != nullptr) {
        i = (i + 1) & mask;
    }
    m_slots[i] = Slot{TagOf(hash), static_cast<uint32_t>(m_names.size()), target};
    m_names.append(reinterpret_cast<const char*>(&length), sizeof length);
    m_names.append(name);
    ++m_size;
}

void CNameMemo::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 1024 : 2 * old.size(), Slot{});
    std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.target != nullptr) {
            // The slot's home comes from the low bits, which are not kept: find them again.
            uint32_t length;
            std::memcpy(&length, m_names.data() + slot.offset, sizeof length);
            std::size_t i =
                Hash(std::string_view(m_names.data() + slot.offset + sizeof length, length)) & mask;
            while (m_slots[i].target != nullptr) {
                i = (i + 1) & mask;
            }
            m_slots[i] = slot;
        }
    }
}

void CNameMemo::Clear() {
    m_slots.clear();
    m_names.clear();
    m_size = 0;
}
