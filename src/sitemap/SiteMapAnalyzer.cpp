#include "sitemap/SiteMapAnalyzer.h"

#include <unordered_set>
#include <vector>

#include "base/LastMessage.h"
#include "base/ProgressSink.h"
#include "res/StringTable.h"
#include "site/CleanUrlAccess.h"
#include "site/SiteAccess.h"
#include "sitemap/SiteMap.h"

CSiteMapAnalyzer::CSiteMapAnalyzer(CSiteAccess* access, std::string domain, CSiteMap* siteMap,
                                   CProgressSink* sink)
    : m_access(access), m_scanner(std::move(domain)), m_siteMap(siteMap), m_sink(sink) {}

bool CSiteMapAnalyzer::Analyze(const std::string& homePage) {
    std::string start = homePage;
    if (start.empty() || start.front() != '/') {
        start.insert(start.begin(), '/');
    }
    // With clean URLs the home page goes by the name visitors request: the root.
    m_scanner.SetCleanUrls(m_siteMap->CleanUrls() != nullptr);
    if (m_siteMap->CleanUrls() != nullptr) {
        start = "/";
    }
    // Every page reached from the home page is scanned once, new to the graph or not. A graph
    // kept from an earlier run has forgotten its static structure before this walk; skipping the
    // pages it kept (or the whole walk, when it kept the home page) would leave them without
    // static links, and planning, which only prefetches static links, would choose nothing.
    CSitePage* home = m_siteMap->AddPage(start);
    std::vector<CSitePage*> queue{home};
    std::unordered_set<const CSitePage*> queued{home};
    std::vector<CSitePage*> reached;

    // The total is open until the walk ends, so the bar cycles every hundred pages.
    int processed = 0;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        CSitePage* page = queue[i];
        if (m_sink != nullptr) {
            ++processed;
            m_sink->SetProgress(processed % 100);
            m_sink->SetStatus(FormatString(IDS_PROCESSING_PAGE, FileNameOf(page->Name).c_str()));
            if (m_sink->IsStopped()) {
                SetLastMessage(IDS_PROCESS_STOPPED);
                return false;
            }
        }
        // Stays the last message only if this is the home page and it cannot be read.
        SetLastMessage(IDS_COULD_NOT_READ_FILE, page->Name.c_str());
        reached.clear();
        if (!ProcessPage(page, &reached)) {
            if (i == 0) {
                return false;
            }
            continue;
        }
        for (CSitePage* next : reached) {
            if (queued.insert(next).second) {
                queue.push_back(next);
            }
        }
    }
    return true;
}

bool CSiteMapAnalyzer::ProcessPage(CSitePage* page, std::vector<CSitePage*>* reached) {
    StringList links;
    StringList frames;
    StringList images;
    if (!ScanPage(page->Name, links, frames, images)) {
        return false;
    }
    // A clean name that no file serves is no page (a download, a feed, a missing page).
    const bool clean = m_siteMap->CleanUrls() != nullptr;
    auto served = [&](const std::string& name) {
        return !clean || !CCleanUrlAccess::IsCleanForm(name) || m_siteMap->IsPageName(name);
    };
    std::erase_if(links, [&](const std::string& name) { return !served(name); });
    std::erase_if(frames, [&](const std::string& name) { return !served(name); });
    for (const std::string& name : links) {
        CSitePage* target = m_siteMap->AddPage(name);
        page->GetOrAddLink(target)->IsStatic = true;
        if (reached != nullptr)
            reached->push_back(target);
    }
    for (const std::string& name : frames) {
        CSitePage* frame = m_siteMap->AddPage(name);
        page->Frames.push_back(frame);
        if (reached != nullptr)
            reached->push_back(frame);
    }
    for (const std::string& name : images) {
        page->AddImage(m_siteMap->AddFile(name));
    }
    return true;
}

bool CSiteMapAnalyzer::ScanPage(const std::string& pageName, StringList& links, StringList& frames,
                                StringList& images) {
    m_buffer.Clear();
    if (m_access == nullptr || !m_access->ReadFile(pageName, m_buffer)) {
        return false;
    }
    m_scanner.ScanAll(pageName, m_buffer.View(), links, frames, images);
    return true;
}

bool RunSiteMapAnalysis(CSiteMap& siteMap, const std::string& domain, CProgressSink* sink) {
    CSiteMapAnalyzer analyzer(siteMap.GetAccess(), domain, &siteMap, sink);
    return analyzer.Analyze(siteMap.GetHomePage());
}
