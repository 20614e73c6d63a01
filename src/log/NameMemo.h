// A memo from exact names to graph entries for the log analyzer: an open-addressing table over
// the names' 64-bit hashes, the names kept one after another in one block, so that a lookup
// touches little memory. Owned by the analyzer; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/LogFields.h"

class CSiteFile;

class CNameMemo {
  public:
    // The hash Find and Insert expect.
    static uint64_t Hash(std::string_view name) { return TextHash(name); }

    // The entry remembered for name, or nullptr.
    CSiteFile* Find(std::string_view name, uint64_t hash) const;
    // Remembers target (not null) for a name that is not remembered yet.
    void Insert(std::string_view name, uint64_t hash, CSiteFile* target);
    void Clear();
    std::size_t Size() const { return m_size; }

  private:
    // 16 bytes, so that a probe touches little: the high half of the hash (the low bits choose
    // the slot), and where the name is in m_names: its 32-bit length, then its bytes.
    struct Slot {
        uint32_t tag = 0;
        uint32_t offset = 0;
        CSiteFile* target = nullptr;  // nullptr: an empty slot
    };
    static uint32_t TagOf(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }
    void Grow();

    std::vector<Slot> m_slots;  // a power of two in size, at most half full
    std::string m_names;
    std::size_t m_size = 0;
};
