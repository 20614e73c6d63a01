// The checks the agent pages run on what the user typed when the user moves on (the wizard's
// Next, or OK in the property sheet), written once for the pages and the command line. A check
// that fails shows its message through the prompt and returns false (the page stays open and no
// setting changes). The "does not exist. Create directory?" questions go through the prompt as
// well: Yes creates the directory (with its parents). Path texts are normalised before they are
// checked; local paths keep their leading "/". User-interface thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "agent/AgentSettings.h"

class CUserPrompt;

// The range the page-limit and size-limit edits accept.
inline constexpr int32_t kLimitMin = 0;
inline constexpr int32_t kLimitMax = 999999;

// "Domain Name": a description, then a domain name.
bool CheckDomainPage(const std::string& description, const std::string& domainName,
                     CUserPrompt& prompt);

// "Site Properties": only a local site ("File://", kSiteLocal) is checked: root given, home page
// given, neither the home page nor the agent directory leaving the root through ".." (166),
// root + home page exists and is writable, then the agent directory below the root.
bool CheckLocationPage(int32_t siteFileType, const std::string& rootDirectory,
                       const std::string& homePage, const std::string& filesDirectory,
                       CUserPrompt& prompt);

// "Site Directories" of a dynamic site: home page given, then the agent directory as typed (a
// local directory).
bool CheckDynamicLocationPage(const std::string& homePage, const std::string& filesDirectory,
                              CUserPrompt& prompt);

// The trusted-certificates file, when one is named, must be readable: it is read at every
// connection, so a name that reads nothing would fail them all.
bool CheckCaFile(const std::string& caFile, CUserPrompt& prompt);

// "Log Range" with "Specify Range": the end may not lie before the start (a run over such a
// range would learn nothing and report success). Other ranges pass.
bool CheckRangePage(int32_t statRange, time_t startTime, time_t endTime, CUserPrompt& prompt);

// The part of path below root, compared by whole components with the case the names have
// ("/srv/www2" is not below "/srv/www"); both normalised first. False when path is not below
// root (or is root itself and allowRoot is false) or has a ".." component.
bool RelativeUnderRoot(const std::string& root, const std::string& path, bool allowRoot,
                       std::string& relative);

// "Log File Analysis": unless the log is ignored, the location split at ";" and "," must name at
// least one pattern, and the patterns together must match at least one file.
bool CheckLogPage(bool ignoreLogFile, const std::string& logFile, CUserPrompt& prompt);

// "Pre-cache - Advanced": both limits within kLimitMin to kLimitMax.
bool CheckSizeLimitPage(int32_t pageLimit, int32_t kbLimit, CUserPrompt& prompt);
// One such number, named by its stored name in the message.
bool CheckLimit(const char* storedName, int32_t value, CUserPrompt& prompt);

// "Backup": when backing up, a ".zip" file name whose file is writable or whose directory exists
// (or is created) and is writable.
bool CheckBackupPage(bool isBackup, const std::string& backupFile, CUserPrompt& prompt);

// Every check of the agent's pages in page order, as the sheet runs them on OK: domain name,
// then the location page of the agent's kind, log file, limits and, for a static site, backup.
// Stops at the first failure.
bool CheckAgentSettings(const CAgentSettings& agent, CUserPrompt& prompt);

// The normalisation the sheet applies when it stores its pages into the record: RootDirectory,
// HomePage, LogFile, FilesDirectory and BackupDir with forward slashes and no leading or
// trailing "/" (local paths keep a leading "/": a local site's root, the log file, the backup
// file, a dynamic site's agent directory), then a static site's FilesDirectory with a leading
// "/".
void NormalizeAgentPaths(CAgentSettings& agent);
