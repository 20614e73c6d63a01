#include "agent/SettingsStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "agent/AgentFields.h"
#include "agent/AgentList.h"
#include "agent/SiteAccessFactory.h"
#include "base/LastMessage.h"
#include "hive/HiveFile.h"
#include "hive/RegistryKey.h"
#include "res/StringTable.h"
#include "site/AtomicFile.h"
#include "sitemap/SiteMap.h"

namespace {

StringList ProductKeyComponents() {
    return {"Software", "Quorvane", "Tarvik", "1.0B"};
}

// The hive path of the product key (root key first).
StringList ProductHivePath() {
    StringList path = ProductKeyComponents();
    path.insert(path.begin(), kUserRootKey);
    return path;
}

}  // namespace

std::vector<HiveValue> StoredAgentValues(const CAgentSettings& agent) {
    std::vector<HiveValue> values;
    for (const AgentField* f = kAgentFields; f->name != nullptr; ++f) {
        switch (f->kind) {
            case AgentFieldKind::kString:
                values.push_back(HiveValue::String(f->name, agent.*f->text));
                break;
            case AgentFieldKind::kEncoded:
                values.push_back(HiveValue::String(f->name, EncodeText(agent.*f->text)));
                break;
            case AgentFieldKind::kBool:
            case AgentFieldKind::kEnum:
                values.push_back(HiveValue::String(f->name, FormatAgentField(*f, agent)));
                break;
            case AgentFieldKind::kNumber:
                values.push_back(
                    HiveValue::Dword(f->name, static_cast<uint32_t>(agent.*f->number)));
                break;
            case AgentFieldKind::kTime:
                values.push_back(HiveValue::Dword(f->name, StoredTime(agent.*f->time)));
                break;
        }
    }
    return values;
}

namespace {

std::vector<HiveValue> StoredValues(const CAgentSettings& agent) {
    return StoredAgentValues(agent);
}

// Writes the values through the key's typed setters.
void WriteValues(CRegistryKey& key, const std::vector<HiveValue>& values) {
    for (const HiveValue& value : values) {
        if (value.type == kHiveDword) {
            key.SetNumber(value.name, value.Number());
        } else {
            key.SetString(value.name, value.data);
        }
    }
}

// The base of a new agent key: the domain name with the characters that cannot stand in one
// key name or one file name replaced.
std::string KeyBase(const std::string& domainName) {
    std::string base = domainName;
    for (char& c : base) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    }
    return base;
}

std::string WorkDirPrefix(const std::string& workDir) {
    if (workDir.empty())
        return std::string();
    std::string dir = workDir;
    NormalizeLocalPath(dir, true);
    return dir;
}

}  // namespace

StringList AgentKeyPath(const std::string& agentKey) {
    StringList path = ProductKeyComponents();
    path.push_back(agentKey);
    return path;
}

bool SaveAgent(const CAgentSettings& agent) {
    if (agent.AgentKey.empty())
        return false;
    CHiveFile& hive = UserHive();
    CHiveBatch batch(hive);
    CRegistryKey key;
    if (!key.Open(hive, AgentKeyPath(agent.AgentKey))) {
        batch.End();
        return false;
    }
    WriteValues(key, StoredValues(agent));
    return batch.End();
}

bool SaveChangedValues(const CAgentSettings& agent, const std::vector<HiveValue>& before) {
    if (agent.AgentKey.empty())
        return false;
    const std::vector<HiveValue> now = StoredValues(agent);
    std::vector<HiveValue> changed;
    for (const HiveValue& value : now) {
        if (std::find(before.begin(), before.end(), value) == before.end())
            changed.push_back(value);
    }
    if (changed.empty())
        return true;
    StringList path = AgentKeyPath(agent.AgentKey);
    path.insert(path.begin(), kUserRootKey);
    return UserHive().Apply([path, now, changed](CHive& hive) {
        if (CHiveKey* key = hive.FindKey(path)) {
            for (const HiveValue& value : changed)
                key->SetValue(value);
        } else if (CHiveKey* created = hive.CreateKey(path)) {
            for (const HiveValue& value : now)
                created->SetValue(value);
        }
    });
}

bool LoadAgent(CAgentSettings& agent) {
    if (agent.AgentKey.empty())
        return false;
    CRegistryKey key;
    if (!key.Open(UserHive(), AgentKeyPath(agent.AgentKey)))
        return false;
    for (const AgentField* f = kAgentFields; f->name != nullptr; ++f) {
        switch (f->kind) {
            case AgentFieldKind::kString:
                key.GetString(f->name, agent.*f->text);
                break;
            case AgentFieldKind::kEncoded:
                key.GetEncoded(f->name, agent.*f->text);
                break;
            case AgentFieldKind::kBool:
                key.GetBool(f->name, agent.*f->flag);
                break;
            case AgentFieldKind::kEnum: {
                int32_t index = 0;
                key.GetEnum(f->name, index, f->table);
                agent.*f->number = index;
                break;
            }
            case AgentFieldKind::kNumber: {
                uint32_t number = 0;
                if (key.GetNumber(f->name, number))
                    agent.*f->number = static_cast<int32_t>(number);
                break;
            }
            case AgentFieldKind::kTime: {
                uint32_t number = 0;
                if (key.GetNumber(f->name, number))
                    agent.*f->time = TimeFromStored(number);
                break;
            }
        }
    }
    return true;
}

bool AssignAgentKey(CAgentSettings& agent) {
    agent.AgentKey.clear();
    CHiveFile& hive = UserHive();
    CRegistryKey product;
    if (!product.Open(hive, kProductKeyPath))
        return false;

    // The key is chosen from the agents the file holds at the moment of the locked write, and
    // the agent is written in the same change.
    const std::string base = KeyBase(agent.DomainName);
    const std::vector<HiveValue> values = StoredValues(agent);
    auto chosen = std::make_shared<std::string>();
    const bool written = hive.Apply([base, values, chosen](CHive& h) {
        CHiveKey* productKey = h.CreateKey(ProductHivePath());
        if (productKey == nullptr)
            return;
        std::string name;
        for (int n = 0;; ++n) {
            name = FormatText("%s %d", base.c_str(), n);
            if (productKey->FindSubKey(name) == nullptr)
                break;
        }
        CHiveKey* key = productKey->AddSubKey(name);
        for (const HiveValue& value : values) {
            key->SetValue(value);
        }
        *chosen = name;
    });
    if (!written || chosen->empty())
        return false;
    agent.AgentKey = *chosen;
    return true;
}

bool DeleteAgent(const CAgentSettings& agent) {
    if (agent.AgentKey.empty())
        return false;
    CRegistryKey product;
    return product.Open(UserHive(), kProductKeyPath) && product.DeleteSubKey(agent.AgentKey);
}

std::string StatisticsFileName(const std::string& workDir, const std::string& agentKey) {
    return WorkDirPrefix(workDir) + agentKey + ".qvs";
}

namespace {

// A stored byte offset: decimal digits with an optional "-" (-1 for none).
bool ParseOffset(const std::string& text, int64_t& offset) {
    if (text.empty() || text.size() > 20)
        return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || value > (INT64_MAX - 9) / 10)
            return false;
        value = value * 10 + (text[i] - '0');
    }
    offset = text[0] == '-' ? -value : value;
    return true;
}

}  // namespace

namespace {

enum class FileRead { kRead, kMissing, kFailed };

// The whole file at path; errno tells why when it failed.
FileRead ReadBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return FileRead::kFailed;
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return FileRead::kRead;
}

// Whether the graph learnt anything from logs.
bool HasLogCounts(const CSiteMap& map) {
    if (map.HitCount > 0)
        return true;
    for (const auto& page : map.Pages()) {
        if (page->ViewSamples > 0 || page->WeightSum() > 0.0)
            return true;
    }
    return false;
}

// The agent's key in the hive now (nullptr when absent).
const CHiveKey* StoredAgentKey(const std::string& agentKey) {
    StringList hivePath = AgentKeyPath(agentKey);
    hivePath.insert(hivePath.begin(), kUserRootKey);
    return UserHive().Snapshot().FindKey(hivePath);
}

}  // namespace

std::string StatisticsDigest(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
    for (unsigned char c : bytes) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return FormatText("%016llx-%zu", static_cast<unsigned long long>(hash), bytes.size());
}

bool SaveStatistics(CAgentSettings& agent, const std::string& workDir, std::string* note) {
    if (!agent.SiteMap)
        return true;
    const std::string path = StatisticsFileName(workDir, agent.AgentKey);
    if (agent.AgentKey.empty()) {
        SetLastMessage(IDS_COULD_NOT_WRITE_STATS, path.c_str());
        return false;
    }
    // A file that cannot be read may still hold what someone wants back: it is kept, never
    // overwritten.
    std::string old;
    const FileRead read = ReadBytes(path, old);
    CSiteMap probe(std::string{});
    if (read == FileRead::kFailed ||
        (read == FileRead::kRead && !probe.LoadFromMemory(old.data(), old.size()))) {
        const std::string kept = path + ".damaged";
        if (std::rename(path.c_str(), kept.c_str()) != 0) {
            SetLastMessage(IDS_STATS_KEEP_FAILED, path.c_str(), kept.c_str(), std::strerror(errno));
            return false;
        }
        if (note != nullptr)
            *note = FormatString(IDS_STATS_KEPT_DAMAGED, path.c_str(), kept.c_str());
    }
    old.clear();
    const std::string bytes = agent.SiteMap->Serialize();
    CAtomicFile file(path);
    if (!file.Open() || !file.Write(bytes) || !file.Commit()) {
        SetLastMessage(IDS_COULD_NOT_WRITE_STATS, path.c_str());
        return false;
    }
    const CSiteMap& map = *agent.SiteMap;
    // Counts whose resume state is lost stay unbound until a run reads the logs afresh. An
    // agent whose key another program removed gets no half key back.
    std::vector<HiveValue> resume = {
        HiveValue::String(kLastLogFileValue, map.LastLogFile),
        // A byte offset can pass 4 GiB, beyond a double word: kept as decimal text.
        HiveValue::String(kLastLogPositionValue, std::to_string(map.LastLogPosition)),
        HiveValue::Dword(kLastLogNumberValue, static_cast<uint32_t>(map.LastLogNumber)),
        HiveValue::String(kLastLogGraphValue,
                          map.ResumeStateLost ? std::string() : StatisticsDigest(bytes))};
    StringList hivePath = AgentKeyPath(agent.AgentKey);
    hivePath.insert(hivePath.begin(), kUserRootKey);
    // A settings write that fails is silent here, as every registry failure is; the caller's
    // batch, if any, reports it.
    UserHive().Apply([hivePath, resume](CHive& hive) {
        if (CHiveKey* key = hive.FindKey(hivePath)) {
            for (const HiveValue& value : resume)
                key->SetValue(value);
        }
    });
    return true;
}

bool LoadStatistics(CAgentSettings& agent, const std::string& workDir) {
    agent.SiteMap = std::make_unique<CSiteMap>(agent.HomePage);
    agent.SiteMap->SetAccess(CreateSiteAccess(agent));
    CSiteMap& map = *agent.SiteMap;
    const std::string path = StatisticsFileName(workDir, agent.AgentKey);
    std::string bytes;
    const bool loaded = !agent.AgentKey.empty() && ReadBytes(path, bytes) == FileRead::kRead &&
                        map.LoadFromMemory(bytes.data(), bytes.size());
    // The resume state belongs to the statistics it was saved with, and to nothing else: used
    // with other counts (another working directory, an older copy) it would skip hits they never
    // counted or count hits twice.
    UserHive().Refresh();
    const CHiveKey* key = agent.AgentKey.empty() ? nullptr : StoredAgentKey(agent.AgentKey);
    const HiveValue* file = key ? key->FindValue(kLastLogFileValue) : nullptr;
    const HiveValue* position = key ? key->FindValue(kLastLogPositionValue) : nullptr;
    const HiveValue* number = key ? key->FindValue(kLastLogNumberValue) : nullptr;
    const HiveValue* graph = key ? key->FindValue(kLastLogGraphValue) : nullptr;
    int64_t offset = 0;
    const bool stateWhole = file != nullptr && file->type == kHiveString && position != nullptr &&
                            position->type == kHiveString && ParseOffset(position->data, offset) &&
                            number != nullptr && number->type == kHiveDword &&
                            number->data.size() == 4;
    if (loaded && stateWhole && graph != nullptr && graph->type == kHiveString &&
        graph->data == StatisticsDigest(bytes)) {
        map.LastLogFile = file->data;
        map.LastLogPosition = offset;
        map.LastLogNumber = static_cast<int32_t>(number->Number());
    } else if (HasLogCounts(map) || (file != nullptr && !file->data.empty())) {
        map.ResumeStateLost = true;
    }
    if (!loaded) {
        SetLastMessage(IDS_COULD_NOT_READ_STATS, path.c_str());
        return false;
    }
    return true;
}

void RemoveOrphanStatistics(const CAgentList& list) {
    const std::string prefix = WorkDirPrefix(list.GetWorkDir());
    StringList files;
    if (!ListFiles(prefix + "*.qvs", files))
        return;
    std::set<std::string> keys;
    for (int i = 0; i < list.GetCount(); ++i) {
        keys.insert(list.GetAt(i)->AgentKey);
    }
    StringList current;
    if (ListAgentKeys(current)) {
        keys.insert(current.begin(), current.end());
    }
    for (const std::string& file : files) {
        if (keys.count(FileTitleOf(file)) == 0) {
            ::unlink(file.c_str());
        }
    }
}

bool LoadAppValues(CAgentList& list) {
    CRegistryKey key;
    const bool opened = key.Open(UserHive(), kProductKeyPath);
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        std::string text = kSuffixDefaults[i];
        key.GetString(kSuffixValueNames[i], text);
        list.SetSuffixList(i, text);
    }
    std::string dir;
    if (!key.GetString(kWorkDirValue, dir)) {
        dir = DefaultWorkDir();
    }
    list.SetWorkDir(dir);
    std::string ascii;
    list.SetAscii(key.GetString(kAsciiPrefetchValue, ascii));
    return opened;
}

bool SaveAppValues(const CAgentList& list, bool workDir,
                   const std::array<bool, kSuffixTypeCount>& suffixLists) {
    if (!workDir && std::find(suffixLists.begin(), suffixLists.end(), true) == suffixLists.end())
        return true;
    CHiveFile& hive = UserHive();
    CHiveBatch batch(hive);
    CRegistryKey key;
    if (!key.Open(hive, kProductKeyPath)) {
        batch.End();
        return false;
    }
    if (workDir)
        key.SetString(kWorkDirValue, list.GetWorkDir());
    for (int i = 0; i < kSuffixTypeCount; ++i) {
        if (suffixLists[static_cast<std::size_t>(i)])
            key.SetString(kSuffixValueNames[i], list.GetSuffixList(i));
    }
    return batch.End();
}

std::string DefaultWorkDir() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data != nullptr && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            char cwd[4096];
            return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string(".");
        }
        base = std::string(home) + "/.local/share";
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/quorvane/tarvik";
}

bool ListAgentKeys(StringList& keys) {
    keys.clear();
    CHiveFile& hive = UserHive();
    if (!hive.Refresh())
        return false;
    const CHiveKey* product = hive.Snapshot().FindKey(ProductHivePath());
    if (product != nullptr) {
        for (const auto& sub : product->SubKeys()) {
            keys.push_back(sub->Name());
        }
    }
    return true;
}
