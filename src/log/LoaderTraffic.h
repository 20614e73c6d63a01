// The requests a site's deployed loader makes, told apart from visits. A page's loader reads the
// page's fetch file (a view marker: the client views that page now) and then asks for the names
// on its list (prefetches, not visits); its other files are never visits either. CLoaderDirectory
// holds what the agent directory names; CLoaderTraffic classifies each request of a log given
// the state of its client. Both belong to one log analyzer and its thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/OpenTable.h"
#include "log/LogRecord.h"

class CLogVisitor;
class CVisitorTable;

using LoaderNameSet = std::unordered_set<std::string, TextHasher, std::equal_to<>>;

// One fetch file as the site serves it: the page whose view it marks and the site paths its
// lines name (the next part's fetch file included).
struct LoaderFetchFile {
    std::string file;  // its own site path
    std::string page;
    // The names: a list is short, and a scan of their lengths, comparing only the names of the
    // same length, costs less than hashing the name asked for.
    std::vector<std::string> names;
    bool Holds(std::string_view name) const;
};

// What the deployed loader of a site consists of, by site path.
class CLoaderDirectory {
  public:
    // path: the agent directory as the site's URLs name it ("/tarvik"); every request inside it
    // is the loader's. An empty path or "/" holds only the names added.
    explicit CLoaderDirectory(std::string path = std::string());

    // The fetch file at site path file marks page; names are the site paths of its lines.
    void AddFetchFile(const std::string& file, std::string page,
                      const std::vector<std::string>& names);
    // A file of the loader that is never a visit (index, properties, the loader's code).
    void AddLoaderFile(const std::string& file);

    // No fetch file known: the site carries no loader that this directory knows of.
    bool Empty() const { return m_fetchFiles.empty(); }
    const LoaderFetchFile* FetchFile(std::string_view url) const;
    // False when url can be neither a fetch file nor the loader's own: it lies outside the agent
    // directory. Most requests are told so by their second byte, without a call.
    bool MayHold(std::string_view url) const {
        return m_prefix.empty() || (url.size() >= m_prefix.size() && url[1] == m_prefix[1] &&
                                    url.starts_with(m_prefix));
    }
    // url is the loader's own file, or lies inside the agent directory.
    bool IsLoaderFile(std::string_view url) const;
    std::size_t FetchFileCount() const { return m_fetchFiles.size(); }

  private:
    static auto Matches(std::string_view file) {
        return [file](const LoaderFetchFile* entry) { return entry->file == file; };
    }

    std::string m_prefix;  // path + "/", empty when the path names no directory of its own
    // The fetch files (a deque, so that they stay in place as more come), and an index over the
    // hashes of their paths. Every request of the loader is looked up here, and a slot of 16
    // bytes is all a lookup touches before the one comparison.
    std::deque<LoaderFetchFile> m_fetchFiles;
    COpenTable<LoaderFetchFile*> m_index{64};
    LoaderNameSet m_loaderFiles;
};

// What a request is.
enum class LoaderRequest {
    kVisit,       // a request of the visitor: a page or a file hit as ever
    kLoaderFile,  // the loader's own file: no hit
    kViewMarker,  // a fetch file: the client views its page now
    kPrefetch,    // a name the loader prefetches: no hit, no transition, no timing sample
};

// True when a purpose field says the browser prefetches ("prefetch", "prefetch;prerender").
bool IsPrefetchPurpose(std::string_view purpose);

class CLoaderTraffic {
  public:
    // directory: borrowed for the classifier's life (nullptr: no loader). workingTime: seconds
    // after a fetch file's request within which the names on its list are prefetches.
    CLoaderTraffic(const CLoaderDirectory* directory, time_t workingTime);

    // Nothing to classify: no loader, and the request carries no purpose.
    bool Idle(const CLogRecord& record) const {
        return m_directory == nullptr && record.Purpose.empty();
    }
    // What the GET request record is, given its client's state in visitors. For a view marker
    // *marked is its fetch file. *visitor is the client's visitor when it was looked up on the
    // way (else nullptr). A fetch file on the list of a fetch file the client read within
    // the working time is the next part of that list: a prefetch, and its list joins the
    // client's.
    LoaderRequest Classify(const CLogRecord& record, const CVisitorTable& visitors,
                           const LoaderFetchFile** marked, CLogVisitor** visitor);
    // The client of visitor read fetch file at t: its list holds from then on.
    void NoteFetch(CLogVisitor* visitor, const LoaderFetchFile* file, time_t t);

  private:
    // name is on a list the client read at most the working time before t.
    bool OnList(CLogVisitor* visitor, std::string_view name, time_t t) const;

    const CLoaderDirectory* m_directory;
    time_t m_workingTime;
    // The latest time any client read a fetch file: later than the working time after it, no
    // list holds and no client need be looked up.
    time_t m_lastFetch = 0;
    bool m_anyFetch = false;
};
