// The page graph of one site: its pages and files in discovery order, the links between pages
// with the transition weights learnt from the logs, and the site access object that reaches the
// site's files. Owned by the agent's settings record; built and changed only by the thread of the
// current run, read by the user interface while no run is active.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/PathRules.h"
#include "sitemap/NameIndex.h"
#include "sitemap/SitePage.h"

class CBinaryReader;
class CBinaryWriter;
class CCleanUrlAccess;
class CSiteAccess;

class CSiteMap {
  public:
    // homePage: the agent's home page setting (it need not begin with "/").
    explicit CSiteMap(std::string homePage);
    ~CSiteMap();

    CSiteMap(const CSiteMap&) = delete;
    CSiteMap& operator=(const CSiteMap&) = delete;

    // --- Pages and files, in list order ---------------------------------------------------------
    const std::vector<std::unique_ptr<CSitePage>>& Pages() const { return m_pages; }
    const std::vector<std::unique_ptr<CSiteFile>>& Files() const { return m_files; }
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    int FileCount() const { return static_cast<int>(m_files.size()); }
    CSitePage* PageAt(int i) const { return m_pages[static_cast<std::size_t>(i)].get(); }
    CSiteFile* FileAt(int i) const { return m_files[static_cast<std::size_t>(i)].get(); }

    // The first page (file) in list order whose name is SameName-equal to name, or nullptr.
    // With clean URLs a page is also found by another name of the same served file: "/about"
    // and "/about.html", "/blog" and "/blog/" name one page, under the name it was added with.
    CSitePage* FindPage(std::string_view name) const;
    CSiteFile* FindFile(std::string_view name) const;
    // The existing page (file) for the name, or a new one appended to the list.
    CSitePage* AddPage(std::string_view name);
    CSiteFile* AddFile(std::string_view name);

    // Appends a page without looking for an existing one (the statistics file may hold names
    // that compare equal). The index keeps answering with the first in list order.
    CSitePage* AppendPage(std::string name);
    CSiteFile* AppendFile(std::string name);

    std::string GetHomePage() const { return m_homePage; }
    void SetHomePage(std::string homePage) { m_homePage = std::move(homePage); }

    // The access object (still owned by the graph), or nullptr.
    CSiteAccess* GetAccess() const { return m_access.get(); }
    // Takes ownership of access and destroys the previous one.
    void SetAccess(std::unique_ptr<CSiteAccess> access);

    // The access object when it serves clean URLs (a CCleanUrlAccess), else nullptr.
    CCleanUrlAccess* CleanUrls() const { return m_clean; }
    // The name of the file the site serves for a page name: with clean URLs the served file of
    // a clean-form name ("/blog/" gives "/blog/index.html"); otherwise, and when nothing serves
    // it, the name itself.
    std::string ServedName(std::string_view name) const;
    // Whether a name found in a log or a link names a page: it ends in .htm, .html or .asp, or,
    // with clean URLs, it is of the clean form and a file serves it.
    bool IsPageName(std::string_view name) const;

    // The page's size, asked of the access object once when not yet known.
    int32_t GetPageSize(CSiteFile* file);
    // Asks the size when needed; true when it is above 0 (the file exists for planning).
    bool HasSize(CSiteFile* file);

    // Sets Index of every page and file to its list position.
    void Renumber();
    // Removes pages and files that no page refers to through links, frames or images. Forced
    // prefetch entries that name a removed page are dropped.
    void PurgeUnreferenced();
    // The same, but keep (a page of this graph, or null) stays whatever refers to it: the page a
    // crawl starts from is part of the site even when no page links to it.
    void PurgeUnreferenced(CSitePage* keep);
    // Before the site map is analysed again: every page forgets its static structure, then purge.
    void ForgetStaticStructure();
    // Before logs are analysed afresh: hit count 0, every page's learning reset, then purge.
    void ResetStatistics();
    void SortAllLinks();
    // One page hit of a visitor. referrer: the referring page or nullptr; current: the visitor's
    // current page, updated in place; target: the page hit (a null target only counts the
    // hit). All three are borrowed pages of this graph.
    void RecordHit(CSitePage* referrer, CSitePage*& current, CSitePage* target);
    // The rule RecordHit learns by, without learning: updates current in place as RecordHit does
    // and returns the page the visitor moved from (a transition from it to target), or nullptr
    // when the hit makes no transition. Borrows the pages.
    static CSitePage* FollowHit(CSitePage* referrer, CSitePage*& current, CSitePage* target);
    // Adds file to page's images (once); nothing when page is nullptr.
    void AddImageToPage(CSitePage* page, CSiteFile* file);
    void SetDecay(int32_t period, double factor);

    // Empties the graph (pages, files, hit count, resume state); keeps home page and access.
    void Clear();

    // The statistics file (see doc/formats/statistics-file.md). Save numbers the graph and
    // replaces the file atomically; false on any error, and the old file stays whole. Names
    // longer than the format's 4095 bytes are cut.
    bool Save(const std::string& path);
    // The bytes Save would write (numbers the graph as Save does).
    std::string Serialize();
    // Load replaces the pages and files of this graph by those of the file; the hit count, the
    // log resume state and the decay settings go back to their defaults (the hit count is read
    // when the file holds one). False when the file
    // cannot be read or is not well formed (cut short, counts or indexes outside the lists,
    // over-long strings); the graph is then left as it was. A weight or plan value that is not
    // a finite number reads as a new link's value. A file
    // of another format or version loads as an empty graph.
    bool Load(const std::string& path);
    // The same, and tells through *otherFormat whether the file was of another format or
    // version (and so loaded as an empty graph).
    bool Load(const std::string& path, bool* otherFormat);
    // The same over the file's bytes in memory (borrowed for the call).
    bool LoadFromMemory(const void* data, std::size_t size);
    bool LoadFromMemory(const void* data, std::size_t size, bool* otherFormat);

    // Where log analysis stopped, so that an accumulating run resumes there.
    std::string LastLogFile;
    int64_t LastLogPosition = -1;  // byte offset: log files grow past 2 GiB
    int32_t LastLogNumber = -1;
    // The graph holds counts whose resume state was lost (saved by another run, or not saved
    // with them): an accumulating run must not add to them, and must read the logs afresh.
    bool ResumeStateLost = false;

    int32_t HitCount = 0;
    int32_t DecayPeriod = 100;
    double DecayFactor = 1.0;

  private:
    void RebuildIndexes();
    void IndexServedName(CSitePage* page) const;
    CSitePage* FindServed(std::string_view name) const;
    bool LoadFrom(CBinaryReader& in, bool* otherFormat);
    void WriteTo(CBinaryWriter& out);

    std::vector<std::unique_ptr<CSitePage>> m_pages;
    std::vector<std::unique_ptr<CSiteFile>> m_files;
    // Name to the first page (file) of that name in list order. Keys view the records' names.
    CNameIndex<CSitePage> m_pageIndex;
    CNameIndex<CSiteFile> m_fileIndex;
    std::unique_ptr<CSiteAccess> m_access;
    CCleanUrlAccess* m_clean = nullptr;  // m_access when it serves clean URLs
    // With clean URLs: the served file of every page whose name is of the clean form, to the
    // first such page. Built on the first lookup after the page list changed wholesale, so that
    // loading a graph asks the site nothing.
    mutable std::unordered_map<std::string, CSitePage*, SameNameHasher, SameNameEqual>
        m_servedIndex;
    mutable bool m_servedIndexStale = true;
    std::string m_homePage;
};
