// One agent: a configured web site with everything needed to process it, and (owned) its page
// graph. Used by one thread at a time: the user-interface thread, or a run's worker thread while
// the run is active.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

class CSiteMap;

// Enumeration tables: the stored text of each index, ended by an empty entry. The texts are part
// of the stored settings format.
extern const char* const kSiteFileTypeTexts[];  // "Local", "Http", "Ftp", ""
extern const char* const kLogFormatTexts[];     // "Auto Detect" ... "W3C Extended", ""
extern const char* const kStatWeightTexts[];    // "No", "Minor", "Major", "Auto", ""
extern const char* const kStatRangeTexts[];     // "All log files" ... "Specify Range", ""

// Number of entries of an enumeration table (without its empty end entry).
int EnumCount(const char* const* table);

// SiteFileType values. The stored texts of 1 and 2 read the other way round; the index decides.
enum SiteFileTypeValue : int32_t {
    kSiteLocal = 0,  // stored "Local"
    kSiteFtp = 1,    // stored "Http"
    kSiteHttp = 2,   // stored "Ftp"
};

enum StatRangeValue : int32_t {
    kRangeAll = 0,
    kRangeLastYear = 1,
    kRangeLastSixMonths = 2,
    kRangeLastMonth = 3,
    kRangeLastWeek = 4,
    kRangeLastDay = 5,
    kRangeLastHour = 6,
    kRangeSpecify = 7,
};

class CAgentSettings {
  public:
    // Every field at its default; StartTime and EndTime from the local clock now.
    CAgentSettings();
    // The same, taking "now" from the caller (tests, and callers that already read the clock).
    explicit CAgentSettings(time_t now);
    ~CAgentSettings();

    // The record moves with its page graph; copies of the settings go through AssignSettings.
    CAgentSettings(CAgentSettings&&) noexcept;
    CAgentSettings& operator=(CAgentSettings&&) noexcept;
    CAgentSettings(const CAgentSettings&) = delete;
    CAgentSettings& operator=(const CAgentSettings&) = delete;

    // Copies every setting and the key from other; the page graph of this record is kept.
    void AssignSettings(const CAgentSettings& other);

    // The time range that StatRange selects at the moment now: [start, end].
    void GetTimeRange(time_t now, time_t* start, time_t* end) const;

    // The page graph, or none.
    std::unique_ptr<CSiteMap> SiteMap;

    std::string AgentKey;
    std::string Description;
    std::string DomainName;
    int32_t SiteFileType = kSiteLocal;
    std::string RootDirectory;
    std::string HomePage = "index.html";
    std::string FilesDirectory = "tarvik";
    bool ignoreLogFile = false;
    std::string LogFile;
    int32_t LogFromat = 0;
    int32_t StatWeight = 1;
    int32_t StatRange = kRangeLastMonth;
    bool CacheHTML = true;
    bool CacheImages = true;
    bool CacheASP = false;
    bool CacheCGI = false;
    bool CacheAudio = true;
    bool CacheVideo = true;
    bool CacheJava = false;
    bool CacheShockwave = false;
    std::string CacheSuffix;
    int32_t CachePageLimit = 2;
    bool isPageLimit = false;
    int32_t CacheKBLimit = 4096;
    bool isKBLimit = false;
    time_t StartTime = 0;
    time_t EndTime = 0;
    std::string ProcessTime;
    bool IsProcessed = false;
    bool IsBackup = true;
    bool IsBackupModified = true;
    std::string BackupDir;
    bool StatAccumulate = false;
    bool IsDynamicSite = false;
    bool IsShowPrefetch = false;
    // The block also loads the browser-side script loader (quorvane.js).
    bool IsScriptPrefetch = false;
    // Pages are also named as visitors see them: "/blog/" for blog/ + HomePage, "/about" for
    // about.html, about.htm or about/ + HomePage (the first the site has).
    bool CleanUrls = false;
    // Seconds after a page view's fetch-file request within which the loader's own requests for
    // the names on that list are prefetches, not visits.
    int32_t LoaderWorkingTime = 120;
    // The name of the extra field of combined-format lines that carries a request's purpose
    // (a line ending in `name=prefetch`); empty: the format has none.
    std::string PurposeField;
    std::string Username;
    std::string Password;
    // A bundle of trusted certificates for the site's HTTPS or FTP server, in place of the
    // system's; empty for the system's. For an "sftp://" site: the known-hosts file that holds
    // the server's host key, in place of ~/.ssh/known_hosts.
    std::string CaFile;
    // FTP only over TLS: the login fails rather than send the password in the clear.
    bool FtpTls = false;
    // For an "sftp://" site: the private key file to log in with (Password then unlocks it if it
    // is encrypted); empty for a login by password.
    std::string SshKey;
};

// Local time of the calendar fields (daylight saving decided by the system); -1 when they
// cannot be represented.
time_t LocalTime(int year, int month, int day, int hour, int minute, int second);

// The default StartTime for a record made at now: the same local calendar time one year
// earlier (29 February becomes 1 March).
time_t DefaultStartTime(time_t now);

// The default EndTime: 2037-12-31 00:00:00 local time.
time_t DefaultEndTime();
