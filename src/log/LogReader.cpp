#include "log/LogReader.h"

bool CLogReader::SeekToLastLine() {
    char buffer[kProbeLineSize];
    // Shorter files: the seek fails and the stream stays where it is.
    m_stream.Seek(-kLastLineDistance, SEEK_END);
    if (!SkipLine()) {
        return false;
    }
    int64_t lastStart = m_stream.Tell();
    for (;;) {
        int64_t lineStart = m_stream.Tell();
        std::size_t length = 0;
        if (ReadLine(buffer, sizeof buffer, &length) == nullptr || length < 2) {
            break;
        }
        lastStart = lineStart;
    }
    m_stream.Seek(lastStart, SEEK_SET);
    return true;
}

bool CLogReader::ReadFirstRecord(CLogRecord& record) {
    m_stream.Rewind();
    return ReadRecord(record, kFirstRecordAttempts);
}

bool CLogReader::ReadRecord(CLogRecord& record, int32_t maxAttempts) {
    int32_t attempts = 0;
    while (!m_stream.Eof() && (maxAttempts == 0 || attempts < maxAttempts)) {
        if (ParseNextLine(record)) {
            return true;
        }
        ++attempts;
    }
    return false;
}

bool CLogReader::ReadLastRecord(CLogRecord& record) {
    return SeekToLastLine() && ParseNextLine(record);
}

bool CLogReader::GetTimeSpan(time_t& first, time_t& last) {
    CLogRecord record;
    if (!ReadFirstRecord(record)) {
        return false;
    }
    first = record.Time;
    last = kLatestLogTime;
    if (ReadLastRecord(record)) {
        last = record.Time;
    }
    return true;
}

bool CLogReader::SeekToTime(time_t time) {
    CLogRecord record;
    m_stream.Rewind();
    int64_t saved = 0;
    // Coarse: jump ahead while the records found are not later than time.
    for (;;) {
        if (!ReadRecord(record, 0) || record.Time > time) {
            break;
        }
        saved = m_stream.Tell();
        if (!m_stream.Seek(kSeekStep, SEEK_CUR) || !SkipLine()) {
            break;
        }
    }
    // Fine: from behind the last record known not to be later, record by record.
    m_stream.Seek(saved, SEEK_SET);
    for (;;) {
        if (!ReadRecord(record, 0)) {
            return false;
        }
        if (record.Time > time) {
            m_stream.Seek(saved, SEEK_SET);
            return true;
        }
        saved = m_stream.Tell();
    }
}

bool CLogReader::SkipLine() {
    char buffer[kProbeLineSize];
    return ReadLine(buffer, sizeof buffer) != nullptr;
}

const char* CLogReader::ReadLine(char* buffer, std::size_t size, std::size_t* length) {
    return m_stream.ReadLine(buffer, size, length);
}
