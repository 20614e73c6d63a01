#include "log/LogFiles.h"

#include <algorithm>

#include "agent/AgentSettings.h"
#include "log/CommonLogReader.h"
#include "log/FileLogStream.h"
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

StringList ListLogFiles(const std::string& pattern, const std::string& lastFile,
                        int32_t lastNumber) {
    StringList files;
    ListFiles(pattern, files);
    std::vector<std::pair<int32_t, std::string>> numbered;
    numbered.reserve(files.size());
    for (std::string& file : files) {
        numbered.emplace_back(LogFileNumber(file), std::move(file));
    }
    // ListFiles gives names in order, so a stable sort keeps equal numbers in name order.
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t drop = 0;
    bool resuming = !lastFile.empty() || lastNumber != -1;
    while (resuming && drop < numbered.size()) {
        if (numbered[drop].second == lastFile) {
            ++drop;
            break;
        }
        if (numbered[drop].first > lastNumber) {
            break;
        }
        ++drop;
    }
    StringList ordered;
    ordered.reserve(numbered.size() - drop);
    for (std::size_t i = drop; i < numbered.size(); ++i) {
        ordered.push_back(std::move(numbered[i].second));
    }
    return ordered;
}

bool LogTimeSpan(const std::string& pattern, int32_t format, time_t& first, time_t& last) {
    bool found = false;
    for (const std::string& path : ListLogFiles(pattern, std::string(), -1)) {
        CFileLogStream stream;
        if (!stream.Open(path)) {
            continue;
        }
        for (const LogReaderChoice& choice : LogReadersOf(format)) {
            stream.Rewind();
            std::unique_ptr<CLogReader> reader = MakeLogReader(choice, stream);
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
