#include "sitemap/SiteMap.h"

#include <algorithm>

#include "site/SiteAccess.h"

CSiteMap::CSiteMap(std::string homePage) : m_homePage(std::move(homePage)) {}

CSiteMap::~CSiteMap() = default;

CSitePage* CSiteMap::FindPage(std::string_view name) const {
    return m_pageIndex.Find(name);
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
    m_pageIndex.Clear();
    m_fileIndex.Clear();
    m_pages.clear();
    m_files.clear();
    HitCount = 0;
    LastLogFile.clear();
    LastLogPosition = -1;
    LastLogNumber = -1;
}

void CSiteMap::RebuildIndexes() {
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
