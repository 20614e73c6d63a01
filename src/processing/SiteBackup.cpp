#include "processing/SiteBackup.h"

#include <algorithm>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "base/ProgressSink.h"
#include "processing/Dzip.h"
#include "processing/SiteZipper.h"
#include "res/StringTable.h"
#include "site/CleanUrlAccess.h"
#include "site/LocalSiteAccess.h"
#include "sitemap/SiteMap.h"

int CSiteZipper::StatusCallback(const char* item, int progress, void* data) {
    auto* sink = static_cast<CProgressSink*>(data);
    if (sink == nullptr) {
        return 0;
    }
    sink->SetStatus(item ? item : "");
    sink->SetProgress(progress);
    return sink->IsStopped() ? 1 : 0;
}

bool CSiteZipper::Zip(const std::string& zipName, const std::string& itemList, bool recurse) {
    std::string items = itemList;
    std::replace(items.begin(), items.end(), '/', '\\');
    DzipCommand command;
    command.zipName = zipName.c_str();
    command.itemList = items.c_str();
    command.statusCallback = &CSiteZipper::StatusCallback;
    command.callbackData = m_sink;
    command.recurse = recurse ? 1 : 0;
    command.compressionFactor = 5;
    return dzip(&command) != kDzipFailed;
}

namespace {

// The item list of a backup, as handed to the archive writer (before slashes become
// backslashes): quoted root + page name items separated by a blank, or root + "/*.*".
std::string BackupItemList(CSiteMap& map, const std::string& rootDirectory, bool pagesOnly) {
    std::string root = rootDirectory;
    if (!pagesOnly) {
        NormalizeLocalPath(root, true);
        return root + "*.*";
    }
    NormalizeLocalPath(root, false);
    std::string items;
    for (int i = 0; i < map.PageCount(); ++i) {
        CSitePage* page = map.PageAt(i);
        if (!map.HasSize(page)) {
            continue;
        }
        if (!items.empty()) {
            items += ' ';
        }
        items += '"';
        items += root;
        items += map.ServedName(page->Name);
        items += '"';
    }
    return items;
}

}  // namespace

bool Backup(CSiteMap& map, const std::string& rootDirectory, bool pagesOnly,
            const std::string& zipName, CProgressSink* sink) {
    SinkSetTitle(sink, FormatString(IDS_BACKUP_TITLE, FileNameOf(zipName).c_str()));
    CSiteZipper zipper(sink);
    bool zipped = false;
    CSiteAccess* access = map.GetAccess();
    // With clean URLs the pages are backed up as the files the server serves.
    CSiteAccess* files = map.CleanUrls() != nullptr ? map.CleanUrls()->Inner() : access;
    if (access == nullptr || dynamic_cast<CLocalSiteAccess*>(files) != nullptr) {
        std::string items = BackupItemList(map, rootDirectory, pagesOnly);
        zipped = zipper.Zip(zipName, items, !pagesOnly);
    } else {
        // A site on an FTP or web server: its root is no local directory, so the files are
        // read through the site's access object. All files means every file the graph knows.
        std::vector<std::string> names;
        for (const auto& page : map.Pages()) {
            if (map.HasSize(page.get()))
                names.push_back(map.ServedName(page->Name));
        }
        if (!pagesOnly) {
            for (const auto& file : map.Files()) {
                if (map.HasSize(file.get()))
                    names.push_back(file->Name);
            }
        }
        zipped = zipper.ZipFromSite(zipName, *access, names);
    }
    if (!zipped) {
        SetLastMessage(IDS_BACKUP_FAILED);
        ReportError(sink, GetLastMessage());
        return false;
    }
    return true;
}
