#include "log/LoaderTraffic.h"

#include <algorithm>

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
    const uint64_t hash = TextHash(file);
    LoaderFetchFile* const* found = m_index.Find(hash, Matches(file));
    LoaderFetchFile* entry = found == nullptr ? nullptr : *found;
    if (entry == nullptr) {
        entry = &m_fetchFiles.emplace_back();
        entry->file = file;
        m_index.Add(hash, entry);
    }
    entry->page = std::move(page);
    for (const std::string& name : names) {
        if (!entry->Holds(name)) {
            entry->names.push_back(name);
        }
    }
}

bool LoaderFetchFile::Holds(std::string_view name) const {
    for (const std::string& held : names) {
        if (held.size() == name.size() && held == name) {
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
    LoaderFetchFile* const* found = m_index.Find(TextHash(url), Matches(url));
    return found == nullptr ? nullptr : *found;
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
    if (m_directory != nullptr && m_directory->MayHold(record.Url)) {
        if (const LoaderFetchFile* file = m_directory->FetchFile(record.Url)) {
            *visitor = m_anyFetch ? visitors.Find(record.Client) : nullptr;
            if (*visitor != nullptr && OnList(*visitor, record.Url, record.Time)) {
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
        if (*visitor != nullptr && (*visitor)->LoaderListCount != 0 &&
            OnList(*visitor, record.Url, record.Time)) {
            return LoaderRequest::kPrefetch;
        }
    }
    return LoaderRequest::kVisit;
}

void CLoaderTraffic::NoteFetch(CLogVisitor* visitor, const LoaderFetchFile* file, time_t t) {
    auto& lists = visitor->LoaderLists;
    std::size_t& count = visitor->LoaderListCount;
    if (count == lists.size()) {
        std::move(lists.begin() + 1, lists.end(), lists.begin());
        --count;
    }
    lists[count++] = {file, t};
    m_anyFetch = true;
    m_lastFetch = std::max(m_lastFetch, t);
}

bool CLoaderTraffic::OnList(CLogVisitor* visitor, std::string_view name, time_t t) const {
    for (std::size_t i = 0; i < visitor->LoaderListCount; ++i) {
        const CLogVisitor::LoaderList& list = visitor->LoaderLists[i];
        if (t - list.time <= m_workingTime && t >= list.time && list.file->Holds(name)) {
            return true;
        }
    }
    return false;
}
