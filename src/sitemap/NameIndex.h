// The name index of the page graph's lists: finds the first record of a list whose name is equal
// to a given name under SameName, as a scan of the list in order would, without scanning. An
// open-addressing table whose slots hold the name's hash and where its text lies, so that a
// lookup reads one slot and the name itself: the graph of a large site does not fit the
// processor's caches, and every further pointer followed costs a cache miss. Used by CSiteMap
// on the graph's thread.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/OpenTable.h"
#include "base/PathRules.h"

template <typename T>
class CNameIndex {
  public:
    // The record whose name is SameName-equal to name, or nullptr.
    T* Find(std::string_view name) const {
        const Entry* entry = m_table.Find(SameNameHash(name), Matches(name));
        return entry == nullptr ? nullptr : entry->record;
    }

    // Adds record under name (a view of the record's own name, which must stay in place while
    // the record is indexed) unless a record of an equal name is indexed already: the first one
    // added keeps answering, as the first in list order.
    void Insert(std::string_view name, T* record) {
        m_table.Insert(SameNameHash(name), Matches(name), Entry{name.data(), name.size(), record});
    }

    void Clear() { m_table.Clear(); }

    // Makes room for count records without growing again.
    void Reserve(std::size_t count) { m_table.Reserve(count); }

    std::size_t Size() const { return m_table.Size(); }

  private:
    // Where the name's text lies beside the record, so that a comparison reads no record.
    struct Entry {
        const char* data = nullptr;
        std::size_t size = 0;
        T* record = nullptr;  // nullptr: a free slot
        explicit operator bool() const { return record != nullptr; }
    };

    static auto Matches(std::string_view name) {
        return [name](const Entry& entry) {
            return SameName(std::string_view(entry.data, entry.size), name);
        };
    }

    COpenTable<Entry> m_table;
};
