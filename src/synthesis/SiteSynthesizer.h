// Prefetch synthesis for one run of one agent: decides, page by page, which linked pages and
// which of their files a visitor's browser should prefetch (ConcludeCachingInstructions), then
// writes the instruction files into the agent directory, copies the applet's files there and,
// for a static site, embeds the applet into every page it handles (Synthesize). Built and used
// by the processing run on its worker thread; nothing else touches the page graph meanwhile.
// Pages, files and lists given to its functions are borrowed for the call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "synthesis/CachingParams.h"
#include "synthesis/PrefetchList.h"

class CInstructionWriter;
class CProgressSink;
class CSiteAccess;
class CSiteFile;
class CSiteMap;
class CSitePage;
class CTextBuffer;

class CSiteSynthesizer {
  public:
    // workingDirectory: where the applet's files are taken from (empty: the current directory).
    // filesDirectory: the agent directory; for a static site a path under the site root,
    // normalised to a leading and no trailing "/" (empty is the root itself); for a dynamic site
    // a directory of the local file system. sink: borrowed, may be null.
    CSiteSynthesizer(std::string workingDirectory, std::string filesDirectory,
                     const CachingParams& params, bool isDynamicSite, CProgressSink* sink);
    ~CSiteSynthesizer();

    CSiteSynthesizer(const CSiteSynthesizer&) = delete;
    CSiteSynthesizer& operator=(const CSiteSynthesizer&) = delete;

    // --- Planning -------------------------------------------------------------------------------

    // Marks, on every page of siteMap that exists (size above 0), the links to prefetch. Sizes
    // asked on the way are kept in the graph. Cannot fail; returns true.
    bool ConcludeCachingInstructions(CSiteMap& siteMap);
    // Sets the IsPrefetched marks of one page's links: frame sets are left alone; a forced order
    // marks exactly the forced targets; otherwise static links in link order, within the page
    // and byte limits, leaving out the page's own frames. Returns true.
    bool PlanPage(CSitePage* page);
    // The prefetch list of one page from its marks (or its forced order): for each target its
    // cacheable files, then a marker entry for the target. Nothing for frame sets and for pages
    // that are not accelerated.
    std::optional<PrefetchList> BuildPrefetchList(CSitePage* page);
    // The list of the given targets in their order, by the same rules: each target's cacheable
    // files within the byte limit, then its marker. Null targets are passed over. Sizes are
    // asked through the access of the last ConcludeCachingInstructions or Synthesize.
    PrefetchList ListForTargets(const std::vector<CSitePage*>& targets);
    // A name with a query is cacheable when CGI is on; any other when its extension is a
    // substring (ignoring case) of the non-empty extensions text. With clean URLs a page counts
    // by the file that serves it ("/blog/" as html, also when a web server serves it).
    bool IsCacheable(const CSiteFile* node) const;
    // Appends node unless the list already holds it or runningBytes is already past the byte
    // limit; adds its size (asked once through the site) to runningBytes. True when appended.
    bool AddPrefetchFile(CSiteFile* node, int64_t& runningBytes, PrefetchList& list);

    // --- Instruction files ----------------------------------------------------------------------

    // Writes every existing page's fetch files (and, for a static site, edits the page right
    // after them), then index.qvf, the applet files and quorvane.properties, in that order.
    // False on the first failure, with the last message set; what was written stays.
    bool Synthesize(CSiteMap& siteMap);
    // The agent directory exists as a directory, or was created. False with
    // IDS_COULD_NOT_CREATE_DIR, IDS_NOT_A_DIRECTORY or IDS_DIR_READ_ONLY (or, for a dynamic site
    // without a directory, IDS_NO_AGENT_DIRECTORY).
    bool PrepareAgentDirectory();
    // The page's fetch files, its two index lines and, for a static site, the page edit. 1 on
    // success, -1 on failure with the last message set.
    int WriteFetchFiles(CSitePage* page, const PrefetchList& list);
    // Stores buffer as the file name of the agent directory (replacing it whole). False on
    // failure; sets no message.
    bool WriteAgentFile(const std::string& name, const CTextBuffer& buffer);
    // Copies the applet's files (and, when the pages load it, the script loader) from the
    // working directory. False with IDS_COULD_NOT_COPY naming the first file that could not be
    // read or stored; the files copied before it stay.
    bool CopyAppletFiles();
    // Writes quorvane.properties. False on failure; sets no message.
    bool WritePropertiesFile();

    // The agent directory as instruction files and applet tags name it: the normalised agent
    // directory of a static site; for a dynamic site the part from its last "/" on, or empty.
    std::string AgentDirectoryPath() const;
    // The normalised agent directory.
    const std::string& AgentDirectory() const { return m_agentDirectory; }
    const CachingParams& Params() const { return m_params; }

    // The applet's files, copied in this order.
    static constexpr const char* kAppletFiles =
        "qvan.zip;qvan.cab;qvan.jar;quorvane.class;a.class;b.class";
    // The script loader of current browsers, copied after them when the pages load it.
    static constexpr const char* kLoaderFile = "quorvane.js";

  private:
    // Synthesize without the final wait for the disk.
    bool WriteInstructions(CSiteMap& siteMap);
    // Calls work for every page of siteMap that exists (asking sizes as needed), in list order,
    // reporting each through the sink; stops at the first page for which work returns false.
    bool ForEachExistingPage(CSiteMap& siteMap, const std::function<bool(CSitePage*)>& work);
    // Appends, for target and each of its frames, the page and then its images, each when
    // cacheable.
    void AddTargetFiles(CSitePage* target, int64_t& runningBytes, PrefetchList& list);

    std::string m_workingDirectory;
    std::string m_agentDirectory;
    CachingParams m_params;
    bool m_isDynamicSite;
    bool m_unsynced = false;  // files of a dynamic site written and not yet synced
    CProgressSink* m_sink;
    CSiteAccess* m_access = nullptr;  // the graph's, during a call
    const CSiteMap* m_map = nullptr;  // the graph, during a call
    std::unique_ptr<CTextBuffer> m_index;
    std::unique_ptr<CInstructionWriter> m_indexWriter;
};
