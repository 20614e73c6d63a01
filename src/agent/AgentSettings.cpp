#include "agent/AgentSettings.h"

#include "sitemap/SiteMap.h"

const char* const kSiteFileTypeTexts[] = {"Local", "Http", "Ftp", ""};
const char* const kLogFormatTexts[] = {"Auto Detect",
                                       "Microsoft IIS",
                                       "Microsoft IIS (USA Date)",
                                       "Microsoft IIS (European Date)",
                                       "Microsoft IIS 4.0 (Extended)",
                                       "NCSA",
                                       "Apache",
                                       "Netscape",
                                       "W3C Extended",
                                       ""};
const char* const kStatWeightTexts[] = {"No", "Minor", "Major", "Auto", ""};
const char* const kStatRangeTexts[] = {"All log files", "Last Year",     "Last 6 month",
                                       "Last Month",    "Last Week",     "Last Day",
                                       "Last Hour",     "Specify Range", ""};

int EnumCount(const char* const* table) {
    int n = 0;
    while (table[n][0] != '\0') {
        ++n;
    }
    return n;
}

time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm fields = {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return mktime(&fields);
}

time_t DefaultStartTime(time_t now) {
    struct tm fields;
    if (localtime_r(&now, &fields) == nullptr) {
        return now;
    }
    fields.tm_year -= 1;
    fields.tm_isdst = -1;
    return mktime(&fields);
}

time_t DefaultEndTime() {
    return LocalTime(2037, 12, 31, 0, 0, 0);
}

CAgentSettings::CAgentSettings() : CAgentSettings(time(nullptr)) {}

CAgentSettings::CAgentSettings(time_t now)
    : StartTime(DefaultStartTime(now)), EndTime(DefaultEndTime()) {}

CAgentSettings::~CAgentSettings() = default;
CAgentSettings::CAgentSettings(CAgentSettings&&) noexcept = default;
CAgentSettings& CAgentSettings::operator=(CAgentSettings&&) noexcept = default;

void CAgentSettings::AssignSettings(const CAgentSettings& other) {
    std::unique_ptr<CSiteMap> graph = std::move(SiteMap);
    AgentKey = other.AgentKey;
    Description = other.Description;
    DomainName = other.DomainName;
    SiteFileType = other.SiteFileType;
    RootDirectory = other.RootDirectory;
    HomePage = other.HomePage;
    FilesDirectory = other.FilesDirectory;
    ignoreLogFile = other.ignoreLogFile;
    LogFile = other.LogFile;
    LogFromat = other.LogFromat;
    StatWeight = other.StatWeight;
    StatRange = other.StatRange;
    CacheHTML = other.CacheHTML;
    CacheImages = other.CacheImages;
    CacheASP = other.CacheASP;
    CacheCGI = other.CacheCGI;
    CacheAudio = other.CacheAudio;
    CacheVideo = other.CacheVideo;
    CacheJava = other.CacheJava;
    CacheShockwave = other.CacheShockwave;
    CacheSuffix = other.CacheSuffix;
    CachePageLimit = other.CachePageLimit;
    isPageLimit = other.isPageLimit;
    CacheKBLimit = other.CacheKBLimit;
    isKBLimit = other.isKBLimit;
    StartTime = other.StartTime;
    EndTime = other.EndTime;
    ProcessTime = other.ProcessTime;
    IsProcessed = other.IsProcessed;
    IsBackup = other.IsBackup;
    IsBackupModified = other.IsBackupModified;
    BackupDir = other.BackupDir;
    StatAccumulate = other.StatAccumulate;
    IsDynamicSite = other.IsDynamicSite;
    IsShowPrefetch = other.IsShowPrefetch;
    IsScriptPrefetch = other.IsScriptPrefetch;
    CleanUrls = other.CleanUrls;
    LoaderWorkingTime = other.LoaderWorkingTime;
    PurposeField = other.PurposeField;
    Username = other.Username;
    Password = other.Password;
    CaFile = other.CaFile;
    FtpTls = other.FtpTls;
    SshKey = other.SshKey;
    SiteMap = std::move(graph);
}

void CAgentSettings::GetTimeRange(time_t now, time_t* start, time_t* end) const {
    static const time_t kBack[] = {0, 31536000, 15724800, 2592000, 604800, 86400, 3600};
    time_t s = 0;
    time_t e = now + 3600;
    switch (StatRange) {
        case kRangeAll:
            s = LocalTime(1971, 1, 1, 0, 0, 0);
            break;
        case kRangeLastYear:
        case kRangeLastSixMonths:
        case kRangeLastMonth:
        case kRangeLastWeek:
        case kRangeLastDay:
        case kRangeLastHour:
            s = now - kBack[StatRange];
            break;
        case kRangeSpecify:
            s = StartTime;
            e = EndTime;
            break;
        default:
            // An index outside the table reads as the first entry, as a stored text that matches
            // no entry does.
            s = LocalTime(1971, 1, 1, 0, 0, 0);
            break;
    }
    if (start)
        *start = s;
    if (end)
        *end = e;
}
