#include "agent/AgentChecks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "agent/AgentFields.h"
#include "agent/UserPrompt.h"
#include "base/PathRules.h"
#include "res/StringTable.h"

namespace {

bool Fail(CUserPrompt& prompt, int id, const std::string& arg = std::string()) {
    prompt.ShowMessage(FormatString(id, arg.c_str()));
    return false;
}

// A file-system entry that is "read only": no write permission bit at all (the rule the local
// site access uses too; it holds for every user, root included).
bool IsReadOnlyMode(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool CreateDirectories(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    struct stat st;
    return !ec && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The agent directory tests shared by both location pages: missing (question 132, creation
// failure 134), not a directory (135), read only (136).
bool CheckAgentDirectory(const std::string& dir, CUserPrompt& prompt) {
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) {
        if (!prompt.AskYesNo(FormatString(IDS_AGENT_DIR_MISSING, dir.c_str()),
                             ResString(IDS_DIR_NOT_FOUND))) {
            return false;
        }
        if (!CreateDirectories(dir)) {
            return Fail(prompt, IDS_COULD_NOT_CREATE_DIR, dir);
        }
        return true;
    }
    if (!S_ISDIR(st.st_mode)) {
        return Fail(prompt, IDS_NOT_A_DIRECTORY, dir);
    }
    if (IsReadOnlyMode(st)) {
        return Fail(prompt, IDS_DIR_READ_ONLY, dir);
    }
    return true;
}

// The directory part of a local file name: "." for a bare name, "/" for a file at the root.
std::string LocalDirectoryOf(const std::string& file) {
    std::size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return file.substr(0, slash);
}

}  // namespace

bool CheckDomainPage(const std::string& description, const std::string& domainName,
                     CUserPrompt& prompt) {
    if (description.empty())
        return Fail(prompt, IDS_NEED_DESCRIPTION);
    if (domainName.empty())
        return Fail(prompt, IDS_NEED_DOMAIN);
    return true;
}

bool CheckLocationPage(int32_t siteFileType, const std::string& rootDirectory,
                       const std::string& homePage, const std::string& filesDirectory,
                       CUserPrompt& prompt) {
    if (siteFileType != kSiteLocal) {
        // FTP and HTTP sites are reached only when the agent runs.
        return true;
    }
    std::string root = rootDirectory;
    NormalizeLocalPath(root, false);
    if (root.empty())
        return Fail(prompt, IDS_NEED_ROOT);
    std::string home = homePage;
    NormalizePath(home, false, false);
    if (home.empty())
        return Fail(prompt, IDS_NEED_HOME_PAGE);

    std::string agentDir = filesDirectory;
    NormalizePath(agentDir, false, false);
    std::string rootSlash = root;
    NormalizeLocalPath(rootSlash, true);
    for (const std::string* name : {&home, &agentDir}) {
        std::string relative;
        if (!RelativeUnderRoot(root, rootSlash + *name, true, relative))
            return Fail(prompt, IDS_MUST_BE_UNDER, root);
    }
    const std::string homeFile = rootSlash + home;
    struct stat st;
    if (::stat(homeFile.c_str(), &st) != 0)
        return Fail(prompt, IDS_HOME_NOT_FOUND, homeFile);
    if (IsReadOnlyMode(st))
        return Fail(prompt, IDS_HOME_READ_ONLY, homeFile);
    return CheckAgentDirectory(rootSlash + agentDir, prompt);
}

bool CheckDynamicLocationPage(const std::string& homePage, const std::string& filesDirectory,
                              CUserPrompt& prompt) {
    std::string home = homePage;
    NormalizePath(home, false, false);
    if (home.empty())
        return Fail(prompt, IDS_NEED_HOME_PAGE);
    std::string agentDir = filesDirectory;
    NormalizeLocalPath(agentDir, false);
    return CheckAgentDirectory(agentDir, prompt);
}

bool CheckCaFile(const std::string& caFile, CUserPrompt& prompt) {
    if (!caFile.empty() && ::access(caFile.c_str(), R_OK) != 0)
        return Fail(prompt, IDS_CA_FILE_NOT_FOUND, caFile);
    return true;
}

bool CheckRangePage(int32_t statRange, time_t startTime, time_t endTime, CUserPrompt& prompt) {
    if (statRange != kRangeSpecify || endTime >= startTime)
        return true;
    prompt.ShowMessage(FormatString(IDS_RANGE_END_BEFORE_START, FormatLocalTime(endTime).c_str(),
                                    FormatLocalTime(startTime).c_str()));
    return false;
}

bool RelativeUnderRoot(const std::string& root, const std::string& path, bool allowRoot,
                       std::string& relative) {
    relative.clear();
    std::string r = root;
    std::string p = path;
    NormalizeLocalPath(r, false);
    NormalizeLocalPath(p, false);
    StringList rootParts, pathParts;
    Tokenize(r, rootParts, "/");
    Tokenize(p, pathParts, "/");
    const auto isDots = [](const std::string& part) { return part == ".."; };
    if (std::any_of(pathParts.begin(), pathParts.end(), isDots) ||
        std::any_of(rootParts.begin(), rootParts.end(), isDots) || (r.empty() || p.empty()) ||
        (r[0] == '/') != (p[0] == '/') || pathParts.size() < rootParts.size()) {
        return false;
    }
    if (!std::equal(rootParts.begin(), rootParts.end(), pathParts.begin()))
        return false;
    for (std::size_t i = rootParts.size(); i < pathParts.size(); ++i) {
        if (!relative.empty())
            relative += '/';
        relative += pathParts[i];
    }
    return allowRoot || !relative.empty();
}

bool CheckLogPage(bool ignoreLogFile, const std::string& logFile, CUserPrompt& prompt) {
    if (ignoreLogFile)
        return true;
    std::string text = logFile;
    NormalizeLocalPath(text, false);
    StringList parts;
    Tokenize(text, parts, ";,");
    StringList patterns;
    for (const std::string& part : parts) {
        std::string pattern(Trim(part));
        if (pattern.empty())
            continue;
        NormalizeLocalPath(pattern, false);
        patterns.push_back(pattern);
    }
    if (patterns.empty())
        return Fail(prompt, IDS_NEED_LOG_FILE);
    for (const std::string& pattern : patterns) {
        StringList files;
        if (ListFiles(pattern, files) && !files.empty())
            return true;
    }
    return Fail(prompt, IDS_LOG_NOT_FOUND, text);
}

bool CheckLimit(const char* storedName, int32_t value, CUserPrompt& prompt) {
    if (value >= kLimitMin && value <= kLimitMax)
        return true;
    prompt.ShowMessage(FormatString(IDS_LIMIT_RANGE, storedName, kLimitMin, kLimitMax));
    return false;
}

bool CheckSizeLimitPage(int32_t pageLimit, int32_t kbLimit, CUserPrompt& prompt) {
    return CheckLimit("CachePageLimit", pageLimit, prompt) &&
           CheckLimit("CacheKBLimit", kbLimit, prompt);
}

bool CheckBackupPage(bool isBackup, const std::string& backupFile, CUserPrompt& prompt) {
    if (!isBackup)
        return true;
    std::string file = backupFile;
    NormalizeLocalPath(file, false);
    if (file.empty())
        return Fail(prompt, IDS_NEED_BACKUP_FILE);
    if (!EqualsNoCase(ExtensionOf(file), "zip"))
        return Fail(prompt, IDS_ZIP_EXTENSION, file);
    struct stat st;
    if (::stat(file.c_str(), &st) == 0) {
        if (IsReadOnlyMode(st))
            return Fail(prompt, IDS_ZIP_READ_ONLY, file);
        return true;
    }
    const std::string dir = LocalDirectoryOf(file);
    if (::stat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            return Fail(prompt, IDS_ZIP_NOT_A_DIRECTORY, dir);
        if (IsReadOnlyMode(st))
            return Fail(prompt, IDS_ZIP_READ_ONLY, dir);
        return true;
    }
    if (!prompt.AskYesNo(FormatString(IDS_BACKUP_DIR_MISSING, dir.c_str()),
                         ResString(IDS_DIR_NOT_FOUND))) {
        return false;
    }
    if (!CreateDirectories(dir))
        return Fail(prompt, IDS_COULD_NOT_CREATE_DIR, dir);
    return true;
}

bool CheckAgentSettings(const CAgentSettings& agent, CUserPrompt& prompt) {
    if (!CheckDomainPage(agent.Description, agent.DomainName, prompt))
        return false;
    if (agent.IsDynamicSite) {
        if (!CheckDynamicLocationPage(agent.HomePage, agent.FilesDirectory, prompt))
            return false;
    } else if (!CheckLocationPage(agent.SiteFileType, agent.RootDirectory, agent.HomePage,
                                  agent.FilesDirectory, prompt)) {
        return false;
    }
    if (!CheckLogPage(agent.ignoreLogFile, agent.LogFile, prompt))
        return false;
    if (!agent.ignoreLogFile &&
        !CheckRangePage(agent.StatRange, agent.StartTime, agent.EndTime, prompt)) {
        return false;
    }
    if (!CheckCaFile(agent.CaFile, prompt))
        return false;
    if (!agent.SshKey.empty() && ::access(agent.SshKey.c_str(), R_OK) != 0)
        return Fail(prompt, IDS_SSH_KEY_NOT_FOUND, agent.SshKey);
    if (!CheckSizeLimitPage(agent.CachePageLimit, agent.CacheKBLimit, prompt))
        return false;
    if (!agent.IsDynamicSite && !CheckBackupPage(agent.IsBackup, agent.BackupDir, prompt)) {
        return false;
    }
    return true;
}

void NormalizeAgentPaths(CAgentSettings& agent) {
    if (agent.SiteFileType == kSiteLocal) {
        NormalizeLocalPath(agent.RootDirectory, false);
    } else {
        NormalizePath(agent.RootDirectory, false, false);
    }
    NormalizePath(agent.HomePage, false, false);
    NormalizeLocalPath(agent.LogFile, false);
    NormalizeLocalPath(agent.BackupDir, false);
    NormalizeLocalPath(agent.CaFile, false);
    NormalizeLocalPath(agent.SshKey, false);
    if (agent.IsDynamicSite) {
        NormalizeLocalPath(agent.FilesDirectory, false);
    } else {
        NormalizePath(agent.FilesDirectory, false, false);
        NormalizePath(agent.FilesDirectory, true, false);
    }
}
