#include "processing/ReplayCounts.h"

#include "sitemap/SitePage.h"

void CReplayCounts::OnPageHit(CSitePage* page, CSitePage* from) {
    ++m_pages[page].views;
    ++m_views;
    if (from == nullptr) {
        return;
    }
    CSitePage* owner = nullptr;
    if (from->FindLinkDeep(page, &owner, nullptr) == nullptr) {
        owner = from;
    }
    PageCounts& counts = m_pages[owner];
    ++counts.transitions;
    ++counts.next[page];
    ++m_transitions;
}

const CReplayCounts::PageCounts* CReplayCounts::Find(const CSitePage* page) const {
    auto it = m_pages.find(page);
    return it == m_pages.end() ? nullptr : &it->second;
}
