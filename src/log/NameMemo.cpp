#include "log/NameMemo.h"

#include <cstring>
#include <functional>

uint64_t CNameMemo::Hash(std::string_view name) { return std::hash<std::string_view>()(name); }

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
        if (slot.hash == hash && slot.length == name.size() &&
            std::memcmp(m_names.data() + slot.offset, name.data(), name.size()) == 0) {
            return slot.target;
        }
    }
}

void CNameMemo::Insert(std::string_view name, uint64_t hash, CSiteFile* target) {
    if (2 * (m_size + 1) > m_slots.size()) {
        Grow();
    }
    std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (m_slots[i].target != nullptr) {
        i = (i + 1) & mask;
    }
    m_slots[i] = Slot{hash, target, m_names.size(), name.size()};
    m_names.append(name);
    ++m_size;
}

void CNameMemo::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 1024 : 2 * old.size(), Slot{});
    std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.target != nullptr) {
            std::size_t i = slot.hash & mask;
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
