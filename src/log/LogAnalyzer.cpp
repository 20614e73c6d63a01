#include "log/LogAnalyzer.h"

#include <algorithm>
#include <limits>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "base/ProgressSink.h"
#include "log/CommonLogReader.h"
#include "log/LogReader.h"
#include "log/VisitListener.h"
#include "res/StringTable.h"
#include "sitemap/SiteMap.h"

namespace {

constexpr int kProgressStep = 1000;
constexpr time_t kEstimateAfter = 5;      // seconds of wall-clock time
constexpr double kEstimateLimit = 600.0;  // estimates above this many seconds are shown
// Request targets remembered at least, whatever the size of the graph.
constexpr std::size_t kMinimumTargets = 65536;
// The loader reads its fetch file once the page has loaded and the browser is idle: at most two
// seconds of idle wait, and a second of the log's rounding to whole seconds.
constexpr time_t kLoaderStartSeconds = 3;

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

double DecayFactorOf(int32_t statWeight) {
    switch (statWeight) {
        case 1:
            return 0.95;
        case 2:
            return 0.8;
        default:
            return 1.0;
    }
}

CLogAnalyzer::CLogAnalyzer(CSiteMap& map, std::string domainName, time_t start, time_t end,
                           CProgressSink* sink, int32_t sweepInterval, int32_t visitorTimeout)
    : m_map(map),
      m_domainName(std::move(domainName)),
      m_start(start),
      m_end(end),
      m_sink(sink),
      m_sweepInterval(sweepInterval),
      m_visitorTimeout(visitorTimeout) {
    // The home page setting usually has no leading "/" ("index.html"); the crawl names the page
    // with one, and so must the lookup of a referer to the site's root.
    m_homeName = m_map.GetHomePage();
    if (m_homeName.empty() || m_homeName.front() != '/') {
        m_homeName.insert(m_homeName.begin(), '/');
    }
}

// --- Files ------------------------------------------------------------------------------------

bool CLogAnalyzer::AnalyzeLogFiles(const std::string& pattern, int32_t format,
                                   std::string& lastFile, int32_t& lastNumber, int64_t& position) {
    StringList files = ListLogFiles(pattern, lastFile, lastNumber, format);
    if (files.empty() && lastFile.empty()) {
        SetLastMessage(IDS_NO_LOG_FILES_MATCH, FileNameOf(pattern).c_str());
        return false;
    }
    int64_t total = 0;
    int32_t count = 0;
    if (!lastFile.empty()) {
        int64_t resumed = position;
        const LogReadResult result = AnalyzeLogFile(lastFile, format, count, resumed);
        if (result.outcome == LogReadResult::Read) {
            total += result.hits;
            position = resumed;
            if (m_lateOffset >= 0) {
                // The rest is newer than the range: the later files are newer still.
                files.clear();
            }
        } else if (result.outcome == LogReadResult::Stopped) {
            // Stop means stop: the files after the resumed one are not started.
            position = resumed;
            return false;
        }
        // Any other failure of the resumed file leaves its message and the run goes on.
    }
    for (const std::string& file : files) {
        int64_t reached = 0;
        const LogReadResult result = AnalyzeLogFile(file, format, count, reached);
        if (result.outcome == LogReadResult::Stopped) {
            // What this file taught before the stop stays in the graph: the next run goes on
            // from there.
            lastFile = file;
            position = reached;
            lastNumber = LogFileNumber(file);
            return false;
        }
        if (result.outcome != LogReadResult::Read) {
            return false;
        }
        lastFile = file;
        position = reached;
        lastNumber = LogFileNumber(file);
        total += result.hits;
        if (m_lateOffset >= 0) {
            break;
        }
    }
    if (total == 0) {
        SetLastMessage(IDS_NO_HITS_IN_RANGE);
        return false;
    }
    return true;
}

LogReadResult CLogAnalyzer::AnalyzeLogFile(const std::string& path, int32_t format, int32_t& count,
                                           int64_t& position) {
    count = 0;
    std::string name = FileNameOf(path);
    SinkSetStatus(m_sink, FormatString(IDS_PROCESSING_LOG_FILE, name.c_str()));
    std::unique_ptr<CLogStream> stream = OpenLogStream(path);
    if (!stream) {
        SetLastMessage(IDS_COULD_NOT_OPEN_LOG, name.c_str());
        return {LogReadResult::NoMatch, 0};
    }
    // A compressed log is decompressed once here to learn its size, which finds damage too.
    int64_t size = stream->Size();
    SetFileSize(size);
    // A remembered offset past the end means the file was replaced since: read all of it.
    SetResumeOffset(position > 0 && (size < 0 || position <= size) ? position : 0);
    LogReadResult result = ProcessLogStream(*stream, format, position);
    SetResumeOffset(0);
    const std::string damage = stream->Damage();
    if (!damage.empty() && result.outcome != LogReadResult::Stopped) {
        // What could be read of it counts; the damage ends this file, not the phase.
        std::string text = FormatString(IDS_LOG_DAMAGED, name.c_str(), damage.c_str());
        SetLastMessageText(text);
        SinkShowMessage(m_sink, text);
        result.outcome = LogReadResult::Read;
    } else if (result.outcome == LogReadResult::NoMatch) {
        SetLastMessage(IDS_LOG_FORMAT_MISMATCH, name.c_str(), LogFormatName(format));
    } else if (result.outcome == LogReadResult::Stopped) {
        SetLastMessage(IDS_PROCESS_STOPPED);
    }
    count = result.hits;
    return result;
}

LogReadResult CLogAnalyzer::ProcessLogStream(CLogStream& stream, int32_t format,
                                             int64_t& position) {
    LogReadResult result{LogReadResult::NoMatch, 0};
    for (const LogReaderChoice& choice : LogReadersOf(format)) {
        if (!stream.Seek(position, SEEK_SET)) {
            stream.Rewind();
        }
        std::unique_ptr<CLogReader> reader = MakeLogReader(choice, stream);
        if (auto* common = dynamic_cast<CCommonLogReader*>(reader.get())) {
            common->SetPurposeField(m_purposeField);
        }
        result = ProcessRecords(*reader);
        if (result.outcome != LogReadResult::NoMatch) {
            break;
        }
    }
    if (result.outcome == LogReadResult::Read) {
        // Records newer than the range end are not learnt: the next run starts at the first.
        position = m_lateOffset >= 0 ? m_lateOffset : stream.Tell();
    } else if (result.outcome == LogReadResult::Stopped) {
        position = m_stopOffset;
    }
    return result;
}

// --- Records ----------------------------------------------------------------------------------

LogReadResult CLogAnalyzer::ProcessRecords(CLogReader& reader) {
    time_t first = 0;
    time_t last = 0;
    if (!reader.GetTimeSpan(first, last)) {
        return {LogReadResult::NoMatch, 0};
    }
    m_lateOffset = -1;
    if (last < m_start) {
        return {LogReadResult::Read, 0};
    }
    if (first > m_end) {
        if (m_leaveLate) {
            m_lateOffset = m_resumeOffset;
        }
        return {LogReadResult::Read, 0};
    }
    if (!reader.SeekToTime(m_start)) {
        return {LogReadResult::Read, 0};
    }
    CLogStream& stream = reader.Stream();
    const int64_t loopStart = stream.Tell();
    const time_t loopStartTime = m_clock->Now();
    int64_t hits = 0;
    int tick = 0;
    time_t newest = 0;
    bool estimated = false;
    CLogRecord record;
    while (!stream.Eof()) {
        const int64_t lineStart = stream.Tell();
        if (!reader.ParseNextLine(record)) {
            continue;
        }
        tick = (tick + 1) % kProgressStep;
        if (m_sink != nullptr && tick == 0) {
            int64_t remaining = m_fileSize - loopStart;
            if (remaining > 0) {
                double share = static_cast<double>(stream.Tell() - loopStart) / remaining * 100.0;
                m_sink->SetProgress(static_cast<int>(std::clamp(share, 0.0, 100.0)));
            }
        }
        if (SinkIsStopped(m_sink)) {
            // This record is not learnt; those of an earlier run before the resume offset were.
            m_stopOffset = std::max(lineStart, m_resumeOffset);
            return {LogReadResult::Stopped, 0};
        }
        if (m_leaveLate && record.Time > m_end && lineStart >= m_resumeOffset) {
            // Past the range end: this record and those after it wait for a later run.
            m_lateOffset = lineStart;
            break;
        }
        if (record.Time > m_end || record.Time < m_start) {
            continue;
        }
        ++hits;
        ++m_totalHits;
        if (lineStart < m_resumeOffset) {
            // Read by an earlier run: counted as in range, but its visits are learnt already.
            continue;
        }
        if (record.Time > newest) {
            Sweep(record.Time);
            newest = record.Time;
        }
        if (!estimated && m_end >= loopStartTime && m_sink != nullptr && tick == 0) {
            time_t elapsed = m_clock->Now() - loopStartTime;
            if (elapsed > kEstimateAfter) {
                estimated = true;
                int64_t done = stream.Tell() - loopStart;
                int64_t remaining = m_fileSize - loopStart;
                if (done > 0 && remaining > 0) {
                    double seconds = static_cast<double>(elapsed) * remaining / done;
                    if (seconds > kEstimateLimit) {
                        int minutes = static_cast<int>(std::min(seconds / 60.0, 2147483647.0));
                        m_sink->ShowMessage(FormatString(IDS_LOG_ESTIMATE, minutes));
                    }
                }
            }
        }
        ProcessHit(record);
    }
    return {LogReadResult::Read, ClampToInt32(hits)};
}

void CLogAnalyzer::Sweep(time_t t) {
    if (t - m_lastSweep < m_sweepInterval) {
        return;
    }
    m_lastSweep = t;
    m_visitors.RemoveInactive(t, m_visitorTimeout);
}

void CLogAnalyzer::SetReplay(CVisitListener* listener, bool skipBots) {
    m_listener = listener;
    m_skipBots = skipBots;
}

namespace {

// The user agent names a bot, a crawler or a spider (ignoring case): one pass over the text.
bool NamesBot(std::string_view agent) {
    auto at = [&](std::size_t i, std::string_view rest) {
        if (agent.size() - i < rest.size()) {
            return false;
        }
        for (std::size_t k = 0; k < rest.size(); ++k) {
            if ((agent[i + k] | 0x20) != rest[k]) {
                return false;
            }
        }
        return true;
    };
    for (std::size_t i = 0; i < agent.size(); ++i) {
        switch (agent[i] | 0x20) {
            case 'b':
                if (at(i + 1, "ot"))
                    return true;
                break;
            case 'c':
                if (at(i + 1, "rawler"))
                    return true;
                break;
            case 's':
                if (at(i + 1, "pider"))
                    return true;
                break;
            default:
                break;
        }
    }
    return false;
}

}  // namespace

bool CLogAnalyzer::IsBot(const CLogRecord& record) {
    if (!m_botClients.empty() && m_botClients.find(record.Client) != m_botClients.end()) {
        return true;
    }
    const std::string_view path = record.Url.substr(0, record.Url.find('?'));
    // Logs hold few distinct user agents: each is looked at once.
    auto known = m_agentIsBot.find(record.AgentText);
    if (known == m_agentIsBot.end()) {
        if (m_agentIsBot.size() >= kMinimumTargets) {
            m_agentIsBot.clear();
        }
        known = m_agentIsBot.emplace(record.AgentText, NamesBot(record.AgentText)).first;
    }
    if (known->second || EqualsNoCase(path, "/robots.txt")) {
        m_botClients.emplace(record.Client);
        return true;
    }
    return false;
}

void CLogAnalyzer::ProcessHit(const CLogRecord& record) {
    if (m_skipBots && IsBot(record)) {
        ++m_botHits;
        return;
    }
    // Only GET requests make visits; a request without a target names nothing to visit.
    if (record.Method != kMethodGet || record.Url.empty()) {
        return;
    }
    // The record's visitor, when classifying it looked the client up.
    CLogVisitor* visitor = nullptr;
    if (!m_loader.Idle(record)) {
        const LoaderFetchFile* marked = nullptr;
        switch (m_loader.Classify(record, m_visitors, &marked, &visitor)) {
            case LoaderRequest::kVisit:
                break;
            case LoaderRequest::kViewMarker:
                HitMarker(marked, record, visitor);
                return;
            case LoaderRequest::kLoaderFile:
            case LoaderRequest::kPrefetch:
                return;
        }
    }
    ++m_visitHits;
    CSiteFile* target = TargetOf(record.Url);
    if (target->IsPage()) {
        HitPage(static_cast<CSitePage*>(target), record, visitor);
    } else {
        HitFile(target, record);
    }
}

CSiteFile* CLogAnalyzer::TargetOf(std::string_view url) {
    uint64_t hash = CNameMemo::Hash(url);
    if (CSiteFile* known = m_targets.Find(url, hash)) {
        return known;
    }
    CSiteFile* target = m_map.FindPage(url);
    if (target == nullptr) {
        target = m_map.FindFile(url);
    }
    if (target == nullptr) {
        target = m_map.IsPageName(url) ? m_map.AddPage(url) : m_map.AddFile(url);
    }
    if (m_targets.Size() >= MemoLimit()) {
        m_targets.Clear();
    }
    m_targets.Insert(url, hash, target);
    return target;
}

std::size_t CLogAnalyzer::MemoLimit() const {
    return kMinimumTargets + 2 * static_cast<std::size_t>(m_map.PageCount() + m_map.FileCount());
}

CSitePage* CLogAnalyzer::PageNamed(std::string_view name) {
    if (CSiteFile* known = m_targets.Find(name, CNameMemo::Hash(name))) {
        return known->IsPage() ? static_cast<CSitePage*>(known) : nullptr;
    }
    return m_map.FindPage(name);
}

CSitePage* CLogAnalyzer::ResolveReferer(const CLogRecord& record) {
    bool lasting = false;
    return RefererPage(record.Referer, &lasting);
}

CSitePage* CLogAnalyzer::RefererPage(std::string_view referer, bool* lasting) {
    *lasting = true;
    if (referer.empty()) {
        return nullptr;
    }
    uint64_t hash = CNameMemo::Hash(referer);
    if (CSiteFile* known = m_referers.Find(referer, hash)) {
        return known == &m_foreign ? nullptr : static_cast<CSitePage*>(known);
    }
    ParseUrl(referer, m_scheme, m_host, m_path);
    CSitePage* page = nullptr;
    if (m_scheme == "http" && EqualsNoCase(m_host, m_domainName)) {
        page = PageNamed(m_path == "/" ? std::string_view(m_homeName) : std::string_view(m_path));
        if (page == nullptr) {
            // A page of the site that the graph does not have yet: it may come.
            *lasting = false;
            return nullptr;
        }
    }
    if (m_referers.Size() >= MemoLimit()) {
        m_referers.Clear();
    }
    m_referers.Insert(referer, hash, page ? static_cast<CSiteFile*>(page) : &m_foreign);
    return page;
}

CSitePage* CLogAnalyzer::VisitorReferer(CLogVisitor* visitor, const CLogRecord& record) {
    // A visitor's requests for the files of a page all name that page as their referer.
    if (visitor->RefererKnown && visitor->RefererText == record.Referer) {
        return visitor->RefererPage;
    }
    bool lasting = false;
    CSitePage* page = RefererPage(record.Referer, &lasting);
    visitor->RefererKnown = lasting;
    if (lasting) {
        visitor->RefererText.assign(record.Referer);
        visitor->RefererPage = page;
    }
    return page;
}

void CLogAnalyzer::HitPage(CSitePage* page, const CLogRecord& record, CLogVisitor* visitor) {
    if (visitor == nullptr) {
        visitor = m_visitors.FindOrCreate(record.Client);
    }
    FollowHit(visitor, VisitorReferer(visitor, record), page, record.Time);
}

void CLogAnalyzer::FollowHit(CLogVisitor* visitor, CSitePage* referer, CSitePage* page, time_t t) {
    CSitePage* current = visitor->Page;
    if (m_listener != nullptr) {
        m_listener->OnPageHit(page, CSiteMap::FollowHit(referer, current, page));
    } else {
        m_map.RecordHit(referer, current, page);
    }
    if (current != nullptr) {
        UpdateVisitor(visitor, current, t);
    }
}

void CLogAnalyzer::HitFile(CSiteFile* file, const CLogRecord& record) {
    if (m_listener != nullptr) {
        return;  // a replay follows pages only
    }
    CLogVisitor* visitor = m_visitors.FindOrCreate(record.Client);
    m_map.AddImageToPage(VisitorReferer(visitor, record), file);
    if (visitor->Page != nullptr) {
        visitor->LoadEndTime = std::max(visitor->LoadEndTime, record.Time + LoadSeconds(file));
    }
}

void CLogAnalyzer::HitMarker(const LoaderFetchFile* file, const CLogRecord& record,
                             CLogVisitor* visitor) {
    if (visitor == nullptr) {
        visitor = m_visitors.FindOrCreate(record.Client);
    }
    // Most markers follow the request of the page the client is on: no lookup for those.
    CSiteFile* target = visitor->Page != nullptr && visitor->Page->Name == file->page
                            ? visitor->Page
                            : TargetOf(file->page);
    if (target->IsPage() && !ConfirmsView(visitor, static_cast<CSitePage*>(target), record.Time)) {
        // Served from the cache: a visit from the client's current page (the marker's referer
        // is the page itself).
        ++m_visitHits;
        FollowHit(visitor, nullptr, static_cast<CSitePage*>(target), record.Time);
    }
    m_loader.NoteFetch(visitor, file, record.Time);
}

bool CLogAnalyzer::ConfirmsView(CLogVisitor* visitor, CSitePage* page, time_t t) {
    if (visitor->Page != page) {
        return false;
    }
    // The timing rules' window: the page's estimated load (a replay keeps no estimate: the
    // page's own), or the limit of its timing samples; the loader starts after it once the
    // browser is idle.
    time_t load =
        m_listener != nullptr ? LoadSeconds(page) : visitor->LoadEndTime - visitor->LastHitTime;
    time_t window = std::max<time_t>(load, 8 * (page->TotalSize() / kBytesPerSecond));
    return t - visitor->LastHitTime <= window + kLoaderStartSeconds;
}

void CLogAnalyzer::UpdateVisitor(CLogVisitor* visitor, CSitePage* page, time_t t) {
    if (m_listener != nullptr) {
        // A replay only moves the visitor on: no timing is learnt, no size asked.
        visitor->Page = page;
        m_visitors.Touch(visitor, t);
        return;
    }
    if (CSitePage* previous = visitor->Page) {
        visitor->LoadEndTime = std::max(visitor->LoadEndTime, visitor->LastHitTime);
        time_t view = t - visitor->LastHitTime;
        time_t load = visitor->LoadEndTime - visitor->LastHitTime;
        int64_t limit = 8 * (previous->TotalSize() / kBytesPerSecond);
        if (load <= limit) {
            previous->AddTimingSample(ClampToInt32(view), ClampToInt32(load));
        }
    }
    visitor->Page = page;
    m_visitors.Touch(visitor, t);
    visitor->LoadEndTime = t + LoadSeconds(page);
}

time_t CLogAnalyzer::LoadSeconds(CSiteFile* file) {
    int32_t size = file->GetSize(m_map.GetAccess());
    return size > 0 ? size / kBytesPerSecond : 0;
}
