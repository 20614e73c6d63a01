// A memo from exact names to graph entries for the log analyzer: a table over the names' 64-bit
// hashes, the names kept one after another in one block, so that a lookup touches little memory.
// Owned by the analyzer; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/OpenTable.h"

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
    std::size_t Size() const { return m_index.Size(); }

  private:
    // Where the name is in m_names: its 32-bit length, then its bytes.
    struct Entry {
        CSiteFile* target = nullptr;  // nullptr: a free slot
        uint32_t offset = 0;
        explicit operator bool() const { return target != nullptr; }
    };
    auto Matches(std::string_view name) const {
        return [this, name](const Entry& entry) {
            uint32_t length;
            std::memcpy(&length, m_names.data() + entry.offset, sizeof length);
            return length == name.size() &&
                   std::memcmp(m_names.data() + entry.offset + sizeof length, name.data(),
                               name.size()) == 0;
        };
    }

    COpenTable<Entry> m_index{1024};
    std::string m_names;
};
