#include "log/LoaderTraffic.h"

#include "base/PathRules.h"
#include "log/VisitorTable.h"

CLoaderDirectory::CLoaderDirectory(std::string path) {
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    if (!path.empty()) {
        m_prefix = path + "/";
    }
}

void CLoaderDirectory::AddFetchFile(const std::string& file, std::string page,
                                    const std::vector<std::string>& names) {
    LoaderFetchFile& entry = m_fetchFiles[file];
    entry.page = std::move(page);
    for (const std::string& name : names) {
        std::size_t hash = LoaderNameHash{}(name);
        if (!entry.Holds(name, hash)) {
            entry.names.push_back(name);
            entry.hashes.push_back(hash);
        }
    }
}

bool LoaderFetchFile::Holds(std::string_view name, std::size_t hash) const {
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        if (hashes[i] == hash && names[i] == name) {
            return true;
        }
    }
    return false;
}

void CLoaderDirectory::AddLoaderFile(const std::string& file) {
    m_loaderFiles.insert(file);
}

const LoaderFetchFile* CLoaderDirectory::FetchFile(std::string_view url) const {
    if (!m_prefix.empty() && url.substr(0, m_prefix.size()) != m_prefix) {
        return nullptr;
    }
    auto found = m_fetchFiles.find(url);
    return found == m_fetchFiles.end() ? nullptr : &found->second;
}

bool CLoaderDirectory::IsLoaderFile(std::string_view url) const {
    if (!m_prefix.empty()) {
        // The loader's files all lie in its directory.
        return url.substr(0, m_prefix.size()) == m_prefix;
    }
    return m_loaderFiles.find(url) != m_loaderFiles.end();
}

bool IsPrefetchPurpose(std::string_view purpose) {
    return FindNoCase(purpose.data(), purpose.size(), "prefetch") >= 0;
}

CLoaderTraffic::CLoaderTraffic(const CLoaderDirectory* directory, time_t workingTime)
    : m_directory(directory && !directory->Empty() ? directory : nullptr),
      m_workingTime(workingTime) {}

LoaderRequest CLoaderTraffic::Classify(const CLogRecord& record, const CVisitorTable& visitors,
                                       const LoaderFetchFile** marked, CLogVisitor** visitor) {
    *marked = nullptr;
    *visitor = nullptr;
    if (m_directory != nullptr) {
        if (const LoaderFetchFile* file = m_directory->FetchFile(record.Url)) {
            *visitor = m_anyFetch ? visitors.Find(record.Client) : nullptr;
            if (*visitor != nullptr &&
                OnList(*visitor, record.Url, LoaderNameHash{}(record.Url), record.Time)) {
                NoteFetch(*visitor, file, record.Time);
                return LoaderRequest::kPrefetch;
            }
            *marked = file;
            return LoaderRequest::kViewMarker;
        }
        if (m_directory->IsLoaderFile(record.Url)) {
            return LoaderRequest::kLoaderFile;
        }
    }
    if (!record.Purpose.empty() && IsPrefetchPurpose(record.Purpose)) {
        return LoaderRequest::kPrefetch;
    }
    if (m_anyFetch && record.Time - m_lastFetch <= m_workingTime) {
        *visitor = visitors.Find(record.Client);
        if (*visitor != nullptr && !(*visitor)->LoaderLists.empty() &&
            OnList(*visitor, record.Url, LoaderNameHash{}(record.Url), record.Time)) {
            return LoaderRequest::kPrefetch;
        }
    }
    return LoaderRequest::kVisit;
}

void CLoaderTraffic::NoteFetch(CLogVisitor* visitor, const LoaderFetchFile* file, time_t t) {
    auto& lists = visitor->LoaderLists;
    if (lists.size() >= kListsPerClient) {
        lists.erase(lists.begin());
    }
    lists.push_back({file, t});
    m_anyFetch = true;
    m_lastFetch = std::max(m_lastFetch, t);
}

bool CLoaderTraffic::OnList(CLogVisitor* visitor, std::string_view name, std::size_t hash,
                            time_t t) const {
    for (const CLogVisitor::LoaderList& list : visitor->LoaderLists) {
        if (t - list.time <= m_workingTime && t >= list.time && list.file->Holds(name, hash)) {
            return true;
        }
    }
    return false;
}
