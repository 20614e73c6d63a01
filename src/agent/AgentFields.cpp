#include "agent/AgentFields.h"

#include <cerrno>
#include <charconv>
#include <limits>

#include "base/PathRules.h"
#include "res/StringTable.h"

namespace {

using K = AgentFieldKind;
using A = CAgentSettings;

constexpr AgentField Text(const char* name, std::string A::*member) {
    return {name, K::kString, member, nullptr, nullptr, nullptr, nullptr};
}
constexpr AgentField Flag(const char* name, bool A::*member) {
    return {name, K::kBool, nullptr, member, nullptr, nullptr, nullptr};
}
constexpr AgentField Enum(const char* name, int32_t A::*member, const char* const* table) {
    return {name, K::kEnum, nullptr, nullptr, member, nullptr, table};
}
constexpr AgentField Number(const char* name, int32_t A::*member) {
    return {name, K::kNumber, nullptr, nullptr, member, nullptr, nullptr};
}
constexpr AgentField Time(const char* name, time_t A::*member) {
    return {name, K::kTime, nullptr, nullptr, nullptr, member, nullptr};
}
constexpr AgentField Encoded(const char* name, std::string A::*member) {
    return {name, K::kEncoded, member, nullptr, nullptr, nullptr, nullptr};
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

bool ReadDigits(std::string_view text, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > text.size())
        return false;
    int v = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    value = v;
    return true;
}

}  // namespace

const AgentField kAgentFields[] = {
    Text("DomainName", &A::DomainName),
    Text("Description", &A::Description),
    Text("RootDirectory", &A::RootDirectory),
    Text("FilesDirectory", &A::FilesDirectory),
    Text("HomePage", &A::HomePage),
    Enum("SiteFileType", &A::SiteFileType, kSiteFileTypeTexts),
    Flag("ignoreLogFile", &A::ignoreLogFile),
    Text("LogFile", &A::LogFile),
    Enum("LogFromat", &A::LogFromat, kLogFormatTexts),
    Flag("CacheHTML", &A::CacheHTML),
    Flag("CacheASP", &A::CacheASP),
    Flag("CacheImages", &A::CacheImages),
    Flag("CacheAudio", &A::CacheAudio),
    Flag("CacheVideo", &A::CacheVideo),
    Flag("CacheJava", &A::CacheJava),
    Flag("CacheShockwave", &A::CacheShockwave),
    Text("CacheSuffix", &A::CacheSuffix),
    Flag("CacheCGI", &A::CacheCGI),
    Number("CachePageLimit", &A::CachePageLimit),
    Number("CacheKBLimit", &A::CacheKBLimit),
    Flag("isKBLimit", &A::isKBLimit),
    Flag("isPageLimit", &A::isPageLimit),
    Enum("StatWeight", &A::StatWeight, kStatWeightTexts),
    Enum("StatRange", &A::StatRange, kStatRangeTexts),
    Flag("IsProcessed", &A::IsProcessed),
    Text("ProcessTime", &A::ProcessTime),
    Flag("IsBackup", &A::IsBackup),
    Flag("IsBackupModified", &A::IsBackupModified),
    Text("BackupDir", &A::BackupDir),
    Time("StartTime", &A::StartTime),
    Time("EndTime", &A::EndTime),
    Flag("StatAccumulate", &A::StatAccumulate),
    Flag("IsDynamicSite", &A::IsDynamicSite),
    Flag("IsShowPrefetch", &A::IsShowPrefetch),
    Flag("IsScriptPrefetch", &A::IsScriptPrefetch),
    Text("Username", &A::Username),
    Encoded("Password", &A::Password),
    Text("CaFile", &A::CaFile),
    Flag("FtpTls", &A::FtpTls),
    Text("SshKey", &A::SshKey),
    Flag("CleanUrls", &A::CleanUrls),
    Number("LoaderWorkingTime", &A::LoaderWorkingTime),
    Text("PurposeField", &A::PurposeField),
    {nullptr, K::kString, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const AgentField* FindAgentField(std::string_view name) {
    for (const AgentField* f = kAgentFields; f->name != nullptr; ++f) {
        if (EqualsNoCase(f->name, name))
            return f;
    }
    return nullptr;
}

std::string FormatAgentField(const AgentField& field, const CAgentSettings& agent) {
    switch (field.kind) {
        case K::kString:
        case K::kEncoded:
            return agent.*field.text;
        case K::kBool:
            return agent.*field.flag ? "true" : "false";
        case K::kEnum: {
            const int32_t index = agent.*field.number;
            return index >= 0 && index < EnumCount(field.table) ? field.table[index]
                                                                : field.table[0];
        }
        case K::kNumber:
            return std::to_string(agent.*field.number);
        case K::kTime:
            return FormatLocalTime(agent.*field.time);
    }
    return std::string();
}

bool ParseAgentField(const AgentField& field, std::string_view text, CAgentSettings& agent,
                     std::string& error) {
    const std::string value(text);
    switch (field.kind) {
        case K::kString:
        case K::kEncoded:
            agent.*field.text = value;
            return true;
        case K::kBool:
            if (EqualsNoCase(text, "true") || EqualsNoCase(text, "false")) {
                agent.*field.flag = EqualsNoCase(text, "true");
                return true;
            }
            error = FormatString(IDS_FIELD_NEEDS_BOOL, field.name, value.c_str());
            return false;
        case K::kEnum: {
            std::string choices;
            for (int32_t i = 0; field.table[i][0] != '\0'; ++i) {
                if (EqualsNoCase(text, field.table[i])) {
                    agent.*field.number = i;
                    return true;
                }
                if (i > 0)
                    choices += ", ";
                choices += '"';
                choices += field.table[i];
                choices += '"';
            }
            error = FormatString(IDS_FIELD_NEEDS_ENUM, field.name, choices.c_str(), value.c_str());
            return false;
        }
        case K::kNumber: {
            int32_t n = 0;
            const char* first = value.data();
            const char* last = first + value.size();
            auto [end, ec] = std::from_chars(first, last, n);
            if (value.empty() || ec != std::errc() || end != last) {
                error = FormatString(IDS_FIELD_NEEDS_NUMBER, field.name,
                                     std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max(), value.c_str());
                return false;
            }
            agent.*field.number = n;
            return true;
        }
        case K::kTime: {
            time_t t = 0;
            if (!ParseLocalTime(text, t)) {
                error = FormatString(IDS_FIELD_NEEDS_TIME, field.name, value.c_str());
                return false;
            }
            agent.*field.time = t;
            return true;
        }
    }
    return false;
}

std::string FormatLocalTime(time_t t) {
    struct tm fields;
    if (localtime_r(&t, &fields) == nullptr)
        return std::string();
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
    return text;
}

bool ParseLocalTime(std::string_view text, time_t& t) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return false;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(text, 0, 4, year) || !ReadDigits(text, 5, 2, month) ||
        !ReadDigits(text, 8, 2, day) || !ReadDigits(text, 11, 2, hour) ||
        !ReadDigits(text, 14, 2, minute) || !ReadDigits(text, 17, 2, second)) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return false;
    }
    const time_t value = LocalTime(year, month, day, hour, minute, second);
    if (value < 0 || value > static_cast<time_t>(std::numeric_limits<uint32_t>::max())) {
        return false;
    }
    t = value;
    return true;
}

uint32_t StoredTime(time_t t) {
    if (t < 0)
        return 0;
    if (t > static_cast<time_t>(std::numeric_limits<uint32_t>::max())) {
        return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(t);
}
