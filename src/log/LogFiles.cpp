#include "log/LogFiles.h"

#include <algorithm>
#include <ctime>
#include <limits>

#include "agent/AgentSettings.h"
#include "log/CommonLogReader.h"
#include "log/FileLogStream.h"
#include "log/GzipLogStream.h"
#include "log/IISLogReader.h"
#include "log/W3CLogReader.h"

int32_t CheckedLogFormat(int32_t format) {
    return format >= 0 && format < kLogFormatCount ? format : kLogAutoDetect;
}

const char* LogFormatName(int32_t format) {
    return kLogFormatTexts[CheckedLogFormat(format)];
}

std::vector<LogReaderChoice> LogReadersOf(int32_t format) {
    switch (CheckedLogFormat(format)) {
        case kLogIis:
            return {{LogReaderKind::Iis, kIisDateAuto}};
        case kLogIisUsaDate:
            return {{LogReaderKind::Iis, kIisDateMonthFirst}};
        case kLogIisEuropeanDate:
            return {{LogReaderKind::Iis, kIisDateDayFirst}};
        case kLogIisExtended:
        case kLogW3CExtended:
            return {{LogReaderKind::W3C, 0}};
        case kLogNcsa:
        case kLogApache:
        case kLogNetscape:
            return {{LogReaderKind::Common, 0}};
        default:
            return {{LogReaderKind::Iis, kIisDateAuto},
                    {LogReaderKind::Common, 0},
                    {LogReaderKind::W3C, 0}};
    }
}

std::unique_ptr<CLogReader> MakeLogReader(const LogReaderChoice& choice, CLogStream& stream) {
    switch (choice.kind) {
        case LogReaderKind::Iis:
            return std::make_unique<CIISLogReader>(stream, choice.iisDateOrder);
        case LogReaderKind::Common:
            return std::make_unique<CCommonLogReader>(stream);
        case LogReaderKind::W3C:
            return std::make_unique<CW3CLogReader>(stream);
    }
    return nullptr;
}

int32_t LogFileNumber(const std::string& path) {
    uint32_t number = 0;
    for (char c : FileTitleOf(path)) {
        if (c >= '0' && c <= '9') {
            number = number * 10u + static_cast<uint32_t>(c - '0');
        }
    }
    return static_cast<int32_t>(number);
}

std::unique_ptr<CLogStream> OpenLogStream(const std::string& path) {
    auto file = std::make_unique<CFileLogStream>();
    if (!file->Open(path)) {
        return nullptr;
    }
    char magic[2] = {0, 0};
    for (char& c : magic) {
        int byte = file->Get();
        c = byte < 0 ? 0 : static_cast<char>(byte);
    }
    if (!CGzipLogStream::IsGzip(std::string_view(magic, 2))) {
        file->Rewind();
        return file;
    }
    auto gzip = std::make_unique<CGzipLogStream>();
    if (!gzip->Open(path)) {
        return nullptr;
    }
    return gzip;
}

namespace {

// The time of the first record an allowed reader finds in the file; false when none does.
bool FirstRecordTime(const std::string& path, int32_t format, time_t& time) {
    std::unique_ptr<CLogStream> stream = OpenLogStream(path);
    if (!stream) {
        return false;
    }
    for (const LogReaderChoice& choice : LogReadersOf(format)) {
        CLogRecord record;
        if (MakeLogReader(choice, *stream)->ReadFirstRecord(record)) {
            time = record.Time;
            return true;
        }
    }
    return false;
}

struct SLogFile {
    int32_t number;
    time_t first;
    std::string path;
};

}  // namespace

StringList ListLogFiles(const std::string& pattern, const std::string& lastFile, int32_t lastNumber,
                        int32_t format) {
    StringList files;
    ListFiles(pattern, files);
    std::vector<SLogFile> listed;
    listed.reserve(files.size());
    for (std::string& file : files) {
        time_t first = 0;
        if (!FirstRecordTime(file, format, first)) {
            first = std::numeric_limits<time_t>::min();
        }
        listed.push_back(SLogFile{LogFileNumber(file), first, std::move(file)});
    }
    // ListFiles gives names in order, so stable sorts keep equal keys in the order before.
    std::stable_sort(listed.begin(), listed.end(),
                     [](const SLogFile& a, const SLogFile& b) { return a.number < b.number; });
    std::stable_sort(listed.begin(), listed.end(),
                     [](const SLogFile& a, const SLogFile& b) { return a.first < b.first; });
    std::size_t drop = 0;
    auto last = std::find_if(listed.begin(), listed.end(),
                             [&](const SLogFile& f) { return f.path == lastFile; });
    if (!lastFile.empty() && last != listed.end()) {
        drop = static_cast<std::size_t>(last - listed.begin()) + 1;
    } else if (!lastFile.empty() || lastNumber != -1) {
        while (drop < listed.size() && listed[drop].number <= lastNumber) {
            ++drop;
        }
    }
    StringList ordered;
    ordered.reserve(listed.size() - drop);
    for (std::size_t i = drop; i < listed.size(); ++i) {
        ordered.push_back(std::move(listed[i].path));
    }
    return ordered;
}

bool LogTimeSpan(const std::string& pattern, int32_t format, time_t& first, time_t& last) {
    bool found = false;
    for (const std::string& path : ListLogFiles(pattern, std::string(), -1, format)) {
        std::unique_ptr<CLogStream> stream = OpenLogStream(path);
        if (!stream) {
            continue;
        }
        for (const LogReaderChoice& choice : LogReadersOf(format)) {
            stream->Rewind();
            std::unique_ptr<CLogReader> reader = MakeLogReader(choice, *stream);
            time_t fileFirst = 0;
            time_t fileLast = 0;
            if (!reader->GetTimeSpan(fileFirst, fileLast)) {
                continue;
            }
            if (fileLast == kLatestLogTime) {
                fileLast = fileFirst;
            }
            first = found ? std::min(first, fileFirst) : fileFirst;
            last = found ? std::max(last, fileLast) : fileLast;
            found = true;
            break;
        }
    }
    return found;
}
