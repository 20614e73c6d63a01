// The name index of the page graph's lists: finds the first record of a list whose name is equal
// to a given name under SameName, as a scan of the list in order would, without scanning. An
// open-addressing table whose slots hold the name's hash and where its text lies, so that a
// lookup reads one slot and the name itself: the graph of a large site does not fit the
// processor's caches, and every further pointer followed costs a cache miss. Used by CSiteMap
// on the graph's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/PathRules.h"

template <typename T>
class CNameIndex {
  public:
    // The record whose name is SameName-equal to name, or nullptr.
    T* Find(std::string_view name) const {
        if (m_count == 0) {
            return nullptr;
        }
        const std::uint64_t hash = Mix(SameNameHash(name));
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (slot.record == nullptr) {
                return nullptr;
            }
            if (slot.hash == hash && SameName(std::string_view(slot.data, slot.size), name)) {
                return slot.record;
            }
        }
    }

    // Adds record under name (a view of the record's own name, which must stay in place while
    // the record is indexed) unless a record of an equal name is indexed already: the first one
    // added keeps answering, as the first in list order.
    void Insert(std::string_view name, T* record) {
        if ((m_count + 1) * 2 > m_slots.size()) {
            Grow();
        }
        const std::uint64_t hash = Mix(SameNameHash(name));
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.record == nullptr) {
                slot = Slot{hash, name.data(), name.size(), record};
                ++m_count;
                return;
            }
            if (slot.hash == hash && SameName(std::string_view(slot.data, slot.size), name)) {
                return;
            }
        }
    }

    void Clear() {
        m_slots.clear();
        m_count = 0;
    }

    // Makes room for count records without growing again.
    void Reserve(std::size_t count) {
        if (count * 2 > m_slots.size()) {
            Rehash(SlotsFor(count));
        }
    }

    std::size_t Size() const { return m_count; }

  private:
    struct Slot {
        std::uint64_t hash = 0;
        const char* data = nullptr;
        std::size_t size = 0;
        T* record = nullptr;  // nullptr: the slot is free
    };

    // The low bits pick the slot, so spread every bit of the name's hash over them.
    static std::uint64_t Mix(std::uint64_t h) {
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdULL;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ULL;
        h ^= h >> 33;
        return h;
    }

    // A power of two with room for count records at most half full.
    static std::size_t SlotsFor(std::size_t count) {
        std::size_t slots = 16;
        while (slots < count * 2) {
            slots *= 2;
        }
        return slots;
    }

    void Grow() { Rehash(m_slots.empty() ? 16 : m_slots.size() * 2); }

    void Rehash(std::size_t slots) {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(slots, Slot{});
        const std::size_t mask = slots - 1;
        for (const Slot& slot : old) {
            if (slot.record == nullptr) {
                continue;
            }
            std::size_t i = slot.hash & mask;
            while (m_slots[i].record != nullptr) {
                i = (i + 1) & mask;
            }
            m_slots[i] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};
