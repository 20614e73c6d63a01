#include "sitemap/SiteMapAnalyzer.h"

#include "processing/LastMessage.h"
#include "processing/ProgressSink.h"
#include "res/StringTable.h"
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
    if (m_siteMap->FindPage(start) != nullptr) {
        // Kept from an earlier run with its structure: taken as analysed already.
        return true;
    }
    const int first = m_siteMap->PageCount();
    m_siteMap->AddPage(start);

    // The page list is the queue: pages found while walking are appended to it. The total is
    // open until the walk ends, so the bar cycles every hundred pages.
    int processed = 0;
    for (int i = first; i < m_siteMap->PageCount(); ++i) {
        CSitePage* page = m_siteMap->PageAt(i);
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
        if (!ProcessPage(page) && i == first) {
            return false;
        }
    }
    return true;
}

bool CSiteMapAnalyzer::ProcessPage(CSitePage* page) {
    StringList links;
    StringList frames;
    StringList images;
    if (!ScanPage(page->Name, links, frames, images)) {
        return false;
    }
    for (const std::string& name : links) {
        CSitePage* target = m_siteMap->AddPage(name);
        page->GetOrAddLink(target)->IsStatic = true;
    }
    for (const std::string& name : frames) {
        page->Frames.push_back(m_siteMap->AddPage(name));
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
