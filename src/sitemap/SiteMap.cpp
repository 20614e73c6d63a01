#include "sitemap/SiteMap.h"

#include <algorithm>

#include "site/CleanUrlAccess.h"
#include "site/SiteAccess.h"

CSiteMap::CSiteMap(std::string homePage) : m_homePage(std::move(homePage)) {}

CSiteMap::~CSiteMap() = default;

CSitePage* CSiteMap::FindPage(std::string_view name) const {
    if (CSitePage* page = m_pageIndex.Find(name)) {
        return page;
    }
    return m_clean != nullptr ? FindServed(name) : nullptr;
}

CSitePage* CSiteMap::FindServed(std::string_view name) const {
    const std::string served = m_clean->ServedName(std::string(name));
    if (served.empty()) {
        return nullptr;
    }
    if (!SameName(served, name)) {
        if (CSitePage* page = m_pageIndex.Find(served)) {
            return page;
        }
    }
    if (m_servedIndexStale) {
        m_servedIndex.clear();
        m_servedIndexStale = false;
        for (const auto& page : m_pages) {
            IndexServedName(page.get());
        }
    }
    auto it = m_servedIndex.find(served);
    return it != m_servedIndex.end() ? it->second : nullptr;
}

void CSiteMap::IndexServedName(CSitePage* page) const {
    if (!CCleanUrlAccess::IsCleanForm(page->Name)) {
        return;
    }
    std::string served = m_clean->ServedName(page->Name);
    if (!served.empty()) {
        m_servedIndex.try_emplace(std::move(served), page);
    }
}

std::string CSiteMap::ServedName(std::string_view name) const {
    if (m_clean == nullptr) {
        return std::string(name);
    }
    std::string served = m_clean->ServedName(std::string(name));
    return served.empty() ? std::string(name) : served;
}

bool CSiteMap::IsPageName(std::string_view name) const {
    if (::IsPageName(name)) {
        return true;
    }
    return m_clean != nullptr && CCleanUrlAccess::IsCleanForm(name) &&
           !m_clean->ServedName(std::string(name)).empty();
}

CSiteFile* CSiteMap::FindFile(std::string_view name) const {
    return m_fileIndex.Find(name);
}

CSitePage* CSiteMap::AddPage(std::string_view name) {
    if (CSitePage* page = FindPage(name)) {
        return page;
    }
    return AppendPage(std::string(name));
}

CSiteFile* CSiteMap::AddFile(std::string_view name) {
    if (CSiteFile* file = FindFile(name)) {
        return file;
    }
    return AppendFile(std::string(name));
}

CSitePage* CSiteMap::AppendPage(std::string name) {
    m_pages.push_back(std::make_unique<CSitePage>(std::move(name)));
    CSitePage* page = m_pages.back().get();
    // An existing entry is kept, so the index answers with the first in list order.
    m_pageIndex.Insert(page->Name, page);
    if (m_clean != nullptr && !m_servedIndexStale) {
        IndexServedName(page);
    }
    return page;
}

CSiteFile* CSiteMap::AppendFile(std::string name) {
    m_files.push_back(std::make_unique<CSiteFile>(std::move(name)));
    CSiteFile* file = m_files.back().get();
    m_fileIndex.Insert(file->Name, file);
    return file;
}

void CSiteMap::SetAccess(std::unique_ptr<CSiteAccess> access) {
    m_access = std::move(access);
    m_clean = dynamic_cast<CCleanUrlAccess*>(m_access.get());
    m_servedIndexStale = true;
}

int32_t CSiteMap::GetPageSize(CSiteFile* file) {
    return file->GetSize(m_access.get());
}

bool CSiteMap::HasSize(CSiteFile* file) {
    return GetPageSize(file) > 0;
}

void CSiteMap::Renumber() {
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i]->Index = static_cast<int32_t>(i);
    }
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        m_files[i]->Index = static_cast<int32_t>(i);
    }
}

void CSiteMap::PurgeUnreferenced() {
    PurgeUnreferenced(nullptr);
}

void CSiteMap::PurgeUnreferenced(CSitePage* keep) {
    for (auto& page : m_pages) {
        page->ReferenceCount = 0;
    }
    for (auto& file : m_files) {
        file->ReferenceCount = 0;
    }
    // References of a page to itself do not keep it; forced prefetch entries do not count.
    for (auto& page : m_pages) {
        for (const auto& link : page->Links) {
            if (link->Target != page.get()) {
                ++link->Target->ReferenceCount;
            }
        }
        for (CSitePage* frame : page->Frames) {
            if (frame != page.get()) {
                ++frame->ReferenceCount;
            }
        }
        for (CSiteFile* image : page->Images) {
            ++image->ReferenceCount;
        }
    }
    if (keep != nullptr) {
        ++keep->ReferenceCount;
    }
    // Nothing may keep pointing at a page that goes: drop forced entries that name one, and any
    // self reference of a removed page goes with it.
    for (auto& page : m_pages) {
        std::erase_if(page->ForcedPrefetchPages,
                      [](const CSitePage* p) { return p->ReferenceCount <= 0; });
    }
    std::erase_if(m_pages,
                  [](const std::unique_ptr<CSitePage>& p) { return p->ReferenceCount <= 0; });
    std::erase_if(m_files,
                  [](const std::unique_ptr<CSiteFile>& f) { return f->ReferenceCount <= 0; });
    RebuildIndexes();
}

void CSiteMap::ForgetStaticStructure() {
    for (auto& page : m_pages) {
        page->ForgetStatic();
    }
    PurgeUnreferenced();
}

void CSiteMap::ResetStatistics() {
    HitCount = 0;
    ResumeStateLost = false;
    for (auto& page : m_pages) {
        page->ResetStatistics();
    }
    PurgeUnreferenced();
}

void CSiteMap::SortAllLinks() {
    for (auto& page : m_pages) {
        page->SortLinks();
    }
}

void CSiteMap::RecordHit(CSitePage* referrer, CSitePage*& current, CSitePage* target) {
    if (HitCount < INT32_MAX) {
        ++HitCount;
    }
    if (CSitePage* from = FollowHit(referrer, current, target)) {
        from->RecordTransition(target, DecayPeriod, DecayFactor);
    }
}

CSitePage* CSiteMap::FollowHit(CSitePage* referrer, CSitePage*& current, CSitePage* target) {
    if (target == nullptr) {
        return nullptr;  // no page was hit: the visitor stays where they were
    }
    if (referrer == nullptr && current == nullptr) {
        current = target;
        return nullptr;
    }
    if (referrer == nullptr) {
        referrer = current;
    }
    if (referrer->ContainsFrame(target)) {
        current = referrer;
        return nullptr;
    }
    current = target;
    return referrer;
}

void CSiteMap::AddImageToPage(CSitePage* page, CSiteFile* file) {
    if (page != nullptr) {
        page->AddImage(file);
    }
}

void CSiteMap::SetDecay(int32_t period, double factor) {
    DecayPeriod = period;
    DecayFactor = factor;
}

void CSiteMap::Clear() {
    m_servedIndexStale = true;
    m_pageIndex.Clear();
    m_fileIndex.Clear();
    m_pages.clear();
    m_files.clear();
    HitCount = 0;
    LastLogFile.clear();
    LastLogPosition = -1;
    LastLogNumber = -1;
    ResumeStateLost = false;
}

void CSiteMap::RebuildIndexes() {
    m_servedIndexStale = true;
    m_pageIndex.Clear();
    m_fileIndex.Clear();
    m_pageIndex.Reserve(m_pages.size());
    m_fileIndex.Reserve(m_files.size());
    for (auto& page : m_pages) {
        m_pageIndex.Insert(page->Name, page.get());
    }
    for (auto& file : m_files) {
        m_fileIndex.Insert(file->Name, file.get());
    }
}
