// A file of a site's page graph: a name, and a size asked of the site access once and cached.
// Owned by its CSiteMap; used by the thread that owns the graph.
#pragma once

#include <cstdint>
#include <string>

class CSiteAccess;

class CSiteFile {
  public:
    explicit CSiteFile(std::string name) : Name(std::move(name)) {}
    virtual ~CSiteFile() = default;

    CSiteFile(const CSiteFile&) = delete;
    CSiteFile& operator=(const CSiteFile&) = delete;

    virtual bool IsPage() const { return false; }

    // The size, asked of access (borrowed; may be null: then nothing is asked and -2 returned)
    // when not yet known (-2) and cached, also when no size was obtained (-1, whatever negative
    // number the access object answered).
    int32_t GetSize(CSiteAccess* access);
    // The cached size, 0 when not greater than 0. Asks nothing.
    int32_t SizeOrZero() const { return Size > 0 ? Size : 0; }
    // The name holds a "?".
    bool HasQuery() const;

    // Site-relative, begins with "/". Fixed while the file is in a graph (the graph's name index
    // refers to it).
    std::string Name;
    int32_t ReferenceCount = 0;  // transient: recomputed before every purge
    int32_t Index = -1;          // transient: list position, set by Renumber
    int32_t Size = -2;           // bytes; -2 not yet asked, -1 not obtainable
};
