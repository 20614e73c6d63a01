// The log phase of an agent run: reads the agent's access logs within a time range, follows each
// visitor (one client address) from page to page and adds hits, transitions with decay, page
// images and timing samples to the site's page graph. One analyzer per phase, on the run's
// worker thread; it borrows the graph, the sink and the clock.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/OpenTable.h"
#include "log/LoaderTraffic.h"
#include "log/LogClock.h"
#include "log/LogFiles.h"
#include "log/LogRecord.h"
#include "log/NameMemo.h"
#include "log/VisitorTable.h"
#include "sitemap/SiteFile.h"

class CLogReader;
class CLogStream;
class CProgressSink;
class CSiteMap;
class CSitePage;
class CVisitListener;

// What reading one log file, stream or reader's records came to.
struct LogReadResult {
    enum Outcome {
        Read,     // hits holds the records in range
        NoMatch,  // the file could not be opened, or no allowed reader found a record in it
        Stopped,  // Stop was pressed
    };
    Outcome outcome = Read;
    int32_t hits = 0;  // 0 unless Read
};

// The decay period the log phase sets on the graph, and the factor of a StatWeight setting:
// 0 ("No") 1.0, 1 ("Minor") 0.95, 2 ("Major") 0.8, anything else 1.0.
constexpr int32_t kLogDecayPeriod = 10;
double DecayFactorOf(int32_t statWeight);

class CLogAnalyzer {
  public:
    // Assumed transfer rate, in bytes per second, of the load-time estimates.
    static constexpr int32_t kBytesPerSecond = 3500;

    // map, sink (may be null): borrowed for the analyzer's life; the graph may gain pages and files
    // meanwhile but must not lose any. domainName marks the referers that come from the site
    // itself. Hits count when start < time <= end.
    CLogAnalyzer(CSiteMap& map, std::string domainName, time_t start, time_t end,
                 CProgressSink* sink, int32_t sweepInterval = 60, int32_t visitorTimeout = 1800);

    // For runs that resume later: a file's reading ends at its first record past the range
    // end, and the resume offset names that record, so that a later run learns it and the
    // records after it exactly once. Off (the default), such records are skipped and reading
    // goes on, and the offset is the end of the file.
    void SetLeaveLateRecords(bool leave) { m_leaveLate = leave; }
    // Replay instead of learning (listener borrowed; nullptr: learn). With a listener the graph
    // learns nothing: hits, transitions, images and timings are left alone, and only request
    // targets the graph does not know yet are added to it, as the log phase adds them; every
    // page hit goes to the listener. With skipBots, the records of bots are left out (a user
    // agent naming "bot", "crawler" or "spider", or a client that has asked for /robots.txt)
    // and counted in BotHits and BotClients.
    void SetReplay(CVisitListener* listener, bool skipBots);

    // The clock of the processing-time estimate (borrowed; nullptr: the system clock).
    void SetClock(CLogClock* clock) { m_clock = clock ? clock : &m_systemClock; }

    // The site's deployed loader (borrowed for the analyzer's life; nullptr or empty: none), and
    // the seconds after a fetch file's request within which its list's names are prefetches.
    void SetLoader(const CLoaderDirectory* directory, time_t workingTime) {
        m_loader = CLoaderTraffic(directory, workingTime);
    }
    // The extra field of combined-format lines that carries the request's purpose (empty: none).
    void SetPurposeField(std::string name) { m_purposeField = std::move(name); }

    // --- Files --------------------------------------------------------------------------------
    // Processes the files pattern names with the readers format allows and updates the resume
    // state: lastFile (the last file read through), position (the byte offset reached in it, -1
    // when none) and lastNumber (its LogFileNumber, -1 when none). The resumed file is read first
    // and only its records from position on make visits. False when the phase failed, with the
    // message recorded through SetLastMessage; the resume state then still says how far the
    // graph has learnt: after a stop, the file being read and its first record not learnt.
    bool AnalyzeLogFiles(const std::string& pattern, int32_t format, std::string& lastFile,
                         int32_t& lastNumber, int64_t& position);
    // One file, from position (its records before it are only counted): its hits in range (also
    // in count), or why there are none; the message of a failure is recorded. position becomes the
    // offset reached on success (the offset of the first record past the range end, when the file
    // reaches past it: those records are left for a later run), and the offset of the first record
    // not learnt when stopped.
    LogReadResult AnalyzeLogFile(const std::string& path, int32_t format, int32_t& count,
                                 int64_t& position);
    // One open stream, tried with each reader the format allows until one matches.
    LogReadResult ProcessLogStream(CLogStream& stream, int32_t format, int64_t& position);

    // --- Records ------------------------------------------------------------------------------
    // The record loop over one reader: its hits in range; NoMatch when the reader finds no
    // record in the first 20 lines.
    LogReadResult ProcessRecords(CLogReader& reader);
    // One record in range.
    void ProcessHit(const CLogRecord& record);
    // The page of the site the record's referer names, or nullptr.
    CSitePage* ResolveReferer(const CLogRecord& record);

    // The size of the file being read (-1 unknown), for the progress percentage and estimate.
    void SetFileSize(int64_t size) { m_fileSize = size; }
    // Records before this offset of the stream are counted but make no visits (they were read by
    // an earlier run); 0 for none.
    void SetResumeOffset(int64_t offset) { m_resumeOffset = offset; }

    // Hits in range over the whole phase, those already read by an earlier run included.
    int64_t TotalHits() const { return m_totalHits; }
    // GET records that went on to make visits.
    int64_t VisitHits() const { return m_visitHits; }
    // Records in range left out as a bot's, and the clients they came from (with skipBots).
    int64_t BotHits() const { return m_botHits; }
    int64_t BotClients() const { return static_cast<int64_t>(m_botClients.size()); }

  private:
    // A bot's record (skipBots): its user agent names a bot, or its client asked for robots.txt.
    bool IsBot(const CLogRecord& record);
    // visitor: the record's client when already looked up, else nullptr.
    void HitPage(CSitePage* page, const CLogRecord& record, CLogVisitor* visitor);
    void HitFile(CSiteFile* file, const CLogRecord& record);
    // Every page hit, by request or by marker: the visitor moves from its current page (or the
    // referer) to page at t; the transition is learnt, or with a listener told to it.
    void FollowHit(CLogVisitor* visitor, CSitePage* referer, CSitePage* page, time_t t);
    // A request for the fetch file of a page: a view of the page served from the cache, unless
    // it follows the page's own request within the page's load window.
    // visitor: the record's client when already looked up, else nullptr.
    void HitMarker(const LoaderFetchFile* file, const CLogRecord& record, CLogVisitor* visitor);
    // A marker of page at t follows the visitor's own request for page, within its load window.
    bool ConfirmsView(CLogVisitor* visitor, CSitePage* page, time_t t);
    void UpdateVisitor(CLogVisitor* visitor, CSitePage* page, time_t t);
    void Sweep(time_t t);
    // The page a referer names, or nullptr; *lasting tells whether that answer stays (it does
    // unless the referer names a page of the site that the graph does not have yet).
    CSitePage* RefererPage(std::string_view referer, bool* lasting);
    // ResolveReferer through the last referer of the visitor.
    CSitePage* VisitorReferer(CLogVisitor* visitor, const CLogRecord& record);
    // The graph entry a request target names, as ProcessHit finds or makes it.
    CSiteFile* TargetOf(std::string_view url);
    // The page of the graph named name (FindPage), or nullptr.
    CSitePage* PageNamed(std::string_view name);
    // The most names the memos hold before they are emptied.
    std::size_t MemoLimit() const;
    // Seconds the file takes at kBytesPerSecond (sizes of 0 or less: 0), its size asked of the
    // graph's access when not yet known.
    time_t LoadSeconds(CSiteFile* file);

    CSiteMap& m_map;
    std::string m_domainName;
    time_t m_start;
    time_t m_end;
    CProgressSink* m_sink;
    time_t m_sweepInterval;
    time_t m_visitorTimeout;
    time_t m_lastSweep = 0;
    int64_t m_fileSize = -1;
    int64_t m_resumeOffset = 0;
    // Where the record loop stopped when asked to: the first record it did not learn.
    int64_t m_stopOffset = 0;
    // Where the last record loop met the first record past the range end; -1 when it did not.
    int64_t m_lateOffset = -1;
    bool m_leaveLate = false;
    CVisitorTable m_visitors;
    CSystemLogClock m_systemClock;
    CLogClock* m_clock = &m_systemClock;
    int64_t m_totalHits = 0;
    int64_t m_visitHits = 0;
    CVisitListener* m_listener = nullptr;
    bool m_skipBots = false;
    int64_t m_botHits = 0;
    std::unordered_set<std::string, TextHasher, std::equal_to<>> m_botClients;
    // User agents seen, and whether each names a bot.
    std::unordered_map<std::string, bool, TextHasher, std::equal_to<>> m_agentIsBot;
    // The home page as the crawl names it ("/" in front), which a referer to "/" stands for.
    std::string m_homeName;
    // Exact request targets and the graph entry each one resolved to. An entry, once found or
    // made, is what the graph answers for that name from then on (pages and files are only added
    // while the analyzer lives, and whether a name is a page name does not change between names
    // that SameName takes as equal), so the graph's slower lookup runs once per name. Emptied
    // when it outgrows the graph, so that it never grows with the lines of a log.
    CNameMemo m_targets;
    // Exact referer texts and the page each names: a page, once found, stays the answer; so does
    // m_foreign, which stands for a referer from another host or scheme. Referers to pages of the
    // site not known yet are looked up again each time. Emptied as m_targets is.
    CNameMemo m_referers;
    CSiteFile m_foreign{std::string()};
    CLoaderTraffic m_loader{nullptr, 0};
    std::string m_purposeField;
    // Reused by ResolveReferer, so that splitting a referer allocates nothing.
    std::string m_scheme;
    std::string m_host;
    std::string m_path;
};
