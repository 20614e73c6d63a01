// The site map analysis: walks a site from its home page through the links and frames of its
// HTML pages, breadth first, and records in the page graph every page reached, the static links
// between pages, the frames of frame sets and the images and embedded objects each page loads.
// Reads only through the graph's site access object, so local, FTP and HTTP sites alike. Lives
// for one run, on the run's worker thread; it talks to the display only through the sink.
#pragma once

#include <string>
#include <vector>

#include "base/PathRules.h"
#include "site/TextBuffer.h"
#include "sitemap/TagScanner.h"

class CProgressSink;
class CSiteAccess;
class CSiteMap;
class CSitePage;

class CSiteMapAnalyzer {
  public:
    // Borrows access (may be null: then no page can be read), the graph and the sink (may be
    // null: no progress is shown and the walk is never stopped). domain: the site's own host.
    CSiteMapAnalyzer(CSiteAccess* access, std::string domain, CSiteMap* siteMap,
                     CProgressSink* sink);

    // The walk from homePage (a "/" is put in front unless it starts with one): every page reached
    // through links and frames is scanned once, whether it is new to the graph or was kept from
    // an earlier run (whose static structure the run has forgotten beforehand). False when the
    // home page cannot be read (last message "Could not read file %s" with its name) or when the
    // sink asks to stop (last message "Process Stopped"); the graph keeps what was found so far.
    // Other pages that cannot be read stay in the graph without links.
    bool Analyze(const std::string& homePage);

    // Scans one page and records its static links, frames and images in the graph. False,
    // recording nothing, when the page cannot be read. Borrows page (a page of the graph);
    // appends the pages it links to and frames, in that order, to reached (may be null).
    bool ProcessPage(CSitePage* page, std::vector<CSitePage*>* reached = nullptr);

    // Reads the page through the access object into the reused buffer and scans it. False,
    // leaving the lists untouched, when it cannot be read.
    bool ScanPage(const std::string& pageName, StringList& links, StringList& frames,
                  StringList& images);

  private:
    CSiteAccess* m_access;
    CTagScanner m_scanner;
    CSiteMap* m_siteMap;
    CTextBuffer m_buffer{4096};
    CProgressSink* m_sink;
};

// The site map phase of a run: analyses the graph's site from the graph's home page through the
// graph's access object, reporting to sink (borrowed; may be null). domain: the site's own host
// name. False with the last message set as Analyze describes.
bool RunSiteMapAnalysis(CSiteMap& siteMap, const std::string& domain, CProgressSink* sink);
