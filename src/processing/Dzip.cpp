#include "processing/Dzip.h"

#include <fnmatch.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "site/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string path;  // local file
    std::string name;  // name inside the archive
    std::uintmax_t size = 0;
};

struct Progress {
    const DzipCommand* command;
    const std::vector<Entry>* entries;
    std::vector<double> cumulative;  // fraction of all bytes up to and including each entry
    bool cancelled = false;
};

// Splits the item list: double-quoted items may hold blanks; other items end at a blank.
std::vector<std::string> SplitItems(const char* list) {
    std::vector<std::string> items;
    std::string text = list ? list : "";
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        std::string item;
        if (text[i] == '"') {
            std::size_t end = text.find('"', i + 1);
            if (end == std::string::npos)
                end = text.size();
            item = text.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            std::size_t end = text.find_first_of(" \t", i);
            if (end == std::string::npos)
                end = text.size();
            item = text.substr(i, end - i);
            i = end;
        }
        std::replace(item.begin(), item.end(), '\\', '/');
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

bool HasWildcard(const std::string& s) {
    return s.find_first_of("*?[") != std::string::npos;
}

std::string ArchiveName(const std::string& path) {
    std::string name = path;
    while (!name.empty() && name.front() == '/')
        name.erase(0, 1);
    while (name.rfind("./", 0) == 0)
        name.erase(0, 2);
    return name;
}

bool Matches(const std::string& pattern, const std::string& fileName) {
    // "*.*" means every file here, also those without a dot.
    if (pattern == "*.*" || pattern == "*")
        return true;
    return fnmatch(pattern.c_str(), fileName.c_str(), 0) == 0;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// Adds the files an item names. False when a plainly named file is missing or unreadable.
bool Expand(const std::string& item, bool recurse, const fs::path& archive,
            std::vector<Entry>& entries) {
    std::error_code ec;
    std::size_t slash = item.rfind('/');
    std::string last = slash == std::string::npos ? item : item.substr(slash + 1);
    // Only the whole-site item of a recursive backup is a pattern. Listed pages are names,
    // whatever they hold ("a[1].html", "b*.html" are pages of their own).
    if (!recurse || !HasWildcard(last)) {
        fs::path p(item);
        if (!fs::is_regular_file(p, ec))
            return false;
        entries.push_back({item, ArchiveName(item), fs::file_size(p, ec)});
        return !ec;
    }
    std::string dir = slash == std::string::npos ? std::string(".") : item.substr(0, slash);
    if (dir.empty())
        dir = "/";
    if (!fs::is_directory(dir, ec))
        return false;
    std::vector<Entry> found;
    auto consider = [&](const fs::directory_entry& e) {
        std::error_code fec;
        if (!e.is_regular_file(fec) || e.is_symlink(fec))
            return;
        if (!Matches(last, e.path().filename().string()))
            return;
        if (SameFile(e.path(), archive))
            return;
        std::string name = e.path().filename().string();
        // Temporary files of an archive being written beside the site.
        if (name.rfind("." + archive.filename().string(), 0) == 0)
            return;
        found.push_back({e.path().string(), ArchiveName(e.path().string()), e.file_size(fec)});
    };
    if (recurse) {
        fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
        if (ec)
            return false;
        for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec)
                return false;
            consider(*it);
        }
    } else {
        fs::directory_iterator it(dir, ec);
        if (ec)
            return false;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec)
                return false;
            consider(*it);
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    entries.insert(entries.end(), found.begin(), found.end());
    return true;
}

bool Report(Progress* p, const char* item, int percent) {
    const DzipCommand* c = p->command;
    if (c->statusCallback != nullptr && c->statusCallback(item, percent, c->callbackData) != 0) {
        p->cancelled = true;
    }
    return !p->cancelled;
}

void OnProgress(zip_t*, double fraction, void* data) {
    auto* p = static_cast<Progress*>(data);
    if (p->entries->empty() || p->cancelled)
        return;
    // Name the entry being compressed: the first whose share of all bytes is not yet done.
    auto it = std::lower_bound(p->cumulative.begin(), p->cumulative.end(), fraction);
    std::size_t index = std::min<std::size_t>(static_cast<std::size_t>(it - p->cumulative.begin()),
                                              p->entries->size() - 1);
    Report(p, (*p->entries)[index].path.c_str(), static_cast<int>(fraction * 100.0));
}

int OnCancel(zip_t*, void* data) {
    return static_cast<Progress*>(data)->cancelled ? 1 : 0;
}

// An archive without entries: only the end-of-central-directory record.
bool WriteEmptyArchive(const std::string& path) {
    static const unsigned char kEmpty[22] = {0x50, 0x4b, 0x05, 0x06};
    return CAtomicFile::Replace(
        path, std::string_view(reinterpret_cast<const char*>(kEmpty), sizeof kEmpty));
}

}  // namespace

int dzip(const DzipCommand* command) {
    if (command == nullptr || command->zipName == nullptr || command->zipName[0] == '\0') {
        return kDzipFailed;
    }
    const std::string zipName = command->zipName;
    const bool recurse = command->recurse != 0;

    std::vector<Entry> entries;
    for (const std::string& item : SplitItems(command->itemList)) {
        if (!Expand(item, recurse, fs::path(zipName), entries)) {
            return kDzipFailed;
        }
    }
    Progress progress{command, &entries, {}, false};
    if (entries.empty()) {
        Report(&progress, zipName.c_str(), 100);
        return !progress.cancelled && WriteEmptyArchive(zipName) ? 0 : kDzipFailed;
    }

    // A new archive: libzip writes it under a temporary name beside the target and renames it
    // over the earlier one only when zip_close succeeds.
    int error = 0;
    zip_t* archive = zip_open(zipName.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        return kDzipFailed;
    }
    double total = 0;
    for (const Entry& e : entries)
        total += static_cast<double>(e.size);
    double done = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        zip_source_t* source = zip_source_file_create(e.path.c_str(), 0, -1, nullptr);
        if (source == nullptr) {
            zip_discard(archive);
            return kDzipFailed;
        }
        zip_int64_t index =
            zip_file_add(archive, e.name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return kDzipFailed;
        }
        zip_set_file_compression(
            archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
            static_cast<zip_uint32_t>(std::clamp(command->compressionFactor, 0, 9)));
        done += static_cast<double>(e.size);
        progress.cumulative.push_back(total > 0 ? done / total : 1.0);
        if (!Report(&progress, e.path.c_str(), 0)) {
            zip_discard(archive);
            return kDzipFailed;
        }
    }
    zip_register_progress_callback_with_state(archive, 0.01, OnProgress, nullptr, &progress);
    zip_register_cancel_callback_with_state(archive, OnCancel, nullptr, &progress);
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return kDzipFailed;
    }
    return progress.cancelled ? kDzipFailed : 0;
}
