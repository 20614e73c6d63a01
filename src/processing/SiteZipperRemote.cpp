// Backups of sites that are not on the local disk: every file is read through the site access
// object when the archive writer asks for it, so only one file is in memory at a time.

#include <zip.h>

#include <cstring>

#include "processing/Dzip.h"
#include "processing/SiteZipper.h"
#include "site/SiteAccess.h"
#include "site/TextBuffer.h"

namespace {

struct RemoteFile {
    CSiteAccess* access;
    std::string name;
    CTextBuffer data;
    zip_int64_t offset = 0;
    bool failed = false;
};

struct Status {
    CSiteZipper* zipper;
    const std::vector<std::string>* names;
    void* sink;
    bool cancelled = false;
};

zip_int64_t ReadRemote(void* state, void* out, zip_uint64_t length, zip_source_cmd_t command) {
    auto* file = static_cast<RemoteFile*>(state);
    switch (command) {
        case ZIP_SOURCE_OPEN:
            file->data.Clear();
            file->offset = 0;
            if (!file->access->ReadFile(file->name, file->data)) {
                file->failed = true;
                return -1;
            }
            return 0;
        case ZIP_SOURCE_READ: {
            zip_int64_t left = file->data.Length() - file->offset;
            zip_int64_t n = std::min<zip_int64_t>(left, static_cast<zip_int64_t>(length));
            std::memcpy(out, file->data.Data() + file->offset, static_cast<size_t>(n));
            file->offset += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            file->data = CTextBuffer();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(out);
            zip_stat_init(st);
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: {
            auto* codes = static_cast<int*>(out);
            codes[0] = ZIP_ER_READ;
            codes[1] = 0;
            return 2 * sizeof(int);
        }
        case ZIP_SOURCE_FREE:
            delete file;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            return -1;
    }
}

void OnProgress(zip_t*, double fraction, void* data) {
    auto* status = static_cast<Status*>(data);
    if (status->cancelled || status->names->empty())
        return;
    std::size_t index = std::min(status->names->size() - 1,
                                 static_cast<std::size_t>(fraction * status->names->size()));
    if (CSiteZipper::StatusCallback((*status->names)[index].c_str(),
                                    static_cast<int>(fraction * 100.0), status->sink) != 0) {
        status->cancelled = true;
    }
}

int OnCancel(zip_t*, void* data) {
    return static_cast<Status*>(data)->cancelled ? 1 : 0;
}

}  // namespace

bool CSiteZipper::ZipFromSite(const std::string& zipName, CSiteAccess& access,
                              const std::vector<std::string>& names) {
    if (names.empty()) {
        // Nothing to store: an archive without entries, as the local writer makes it.
        DzipCommand command;
        command.zipName = zipName.c_str();
        command.itemList = "";
        command.statusCallback = &CSiteZipper::StatusCallback;
        command.callbackData = m_sink;
        return dzip(&command) != kDzipFailed;
    }
    int error = 0;
    zip_t* archive = zip_open(zipName.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        return false;
    }
    for (const std::string& name : names) {
        auto* file = new RemoteFile{&access, name, CTextBuffer(), 0, false};
        zip_source_t* source = zip_source_function(archive, ReadRemote, file);
        if (source == nullptr) {
            delete file;
            zip_discard(archive);
            return false;
        }
        std::string entry = name;
        while (!entry.empty() && entry.front() == '/')
            entry.erase(0, 1);
        zip_int64_t index =
            zip_file_add(archive, entry.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 5);
    }
    Status status{this, &names, m_sink, false};
    zip_register_progress_callback_with_state(archive, 0.01, OnProgress, nullptr, &status);
    zip_register_cancel_callback_with_state(archive, OnCancel, nullptr, &status);
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return !status.cancelled;
}
