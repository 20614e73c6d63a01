// One page's prefetch list: the files the applet fetches while the page is read, in order, each
// target page closed by a marker entry. Built by CSiteSynthesizer for one page at a time; one
// thread. Entries point into the page graph and own nothing.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <vector>

class CSiteFile;

struct PrefetchEntry {
    CSiteFile* File = nullptr;  // a page or file of the graph (borrowed)
    bool IsPageMarker = false;  // marks the end of one target page's files
};

class PrefetchList {
  public:
    // Appends an entry.
    void Append(CSiteFile* file, bool isPageMarker);
    // The list holds an entry for file whose marker flag is clear (markers do not count).
    bool HoldsFile(const CSiteFile* file) const;

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const PrefetchEntry& operator[](std::size_t i) const { return m_entries[i]; }
    std::vector<PrefetchEntry>::const_iterator begin() const { return m_entries.begin(); }
    std::vector<PrefetchEntry>::const_iterator end() const { return m_entries.end(); }

  private:
    // Small lists are searched in place; past this many entries a set of the files answers.
    static constexpr std::size_t kScanLimit = 16;

    std::vector<PrefetchEntry> m_entries;
    std::unordered_set<const CSiteFile*> m_files;  // filled once the list passes kScanLimit
};
