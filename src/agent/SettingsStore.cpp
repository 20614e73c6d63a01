#include "agent/SettingsStore.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <set>

#include "agent/AgentFields.h"
#include "agent/AgentList.h"
#include "agent/SiteAccessFactory.h"
#include "base/LastMessage.h"
#include "hive/HiveFile.h"
#include "hive/RegistryKey.h"
#include "res/StringTable.h"
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

// The agent's stored values in stored order, each in its stored encoding.
std::vector<HiveValue> StoredValues(const CAgentSettings& agent) {
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

bool SaveStatistics(CAgentSettings& agent, const std::string& workDir) {
    if (!agent.SiteMap)
        return true;
    const std::string path = StatisticsFileName(workDir, agent.AgentKey);
    if (agent.AgentKey.empty() || !agent.SiteMap->Save(path)) {
        SetLastMessage(IDS_COULD_NOT_WRITE_STATS, path.c_str());
        return false;
    }
    CHiveFile& hive = UserHive();
    CHiveBatch batch(hive);
    CRegistryKey key;
    if (key.Open(hive, AgentKeyPath(agent.AgentKey))) {
        key.SetString(kLastLogFileValue, agent.SiteMap->LastLogFile);
        // A byte offset can pass 4 GiB, beyond a double word: kept as decimal text.
        key.SetString(kLastLogPositionValue, std::to_string(agent.SiteMap->LastLogPosition));
        key.SetNumber(kLastLogNumberValue, static_cast<uint32_t>(agent.SiteMap->LastLogNumber));
    }
    // A settings write that fails is silent here, as every registry failure is; the caller's
    // batch, if any, reports it.
    batch.End();
    return true;
}

bool LoadStatistics(CAgentSettings& agent, const std::string& workDir) {
    agent.SiteMap = std::make_unique<CSiteMap>(agent.HomePage);
    agent.SiteMap->SetAccess(CreateSiteAccess(agent));
    const std::string path = StatisticsFileName(workDir, agent.AgentKey);
    if (agent.AgentKey.empty() || !agent.SiteMap->Load(path)) {
        SetLastMessage(IDS_COULD_NOT_READ_STATS, path.c_str());
        return false;
    }
    // The resume state belongs to the statistics just read; without them (or with an empty
    // graph, which holds no counts) it would make an accumulating run skip hits that the graph
    // never counted.
    if (agent.SiteMap->PageCount() == 0)
        return true;
    CHiveFile& hive = UserHive();
    hive.Refresh();
    const CHiveKey* key = nullptr;
    StringList hivePath = AgentKeyPath(agent.AgentKey);
    hivePath.insert(hivePath.begin(), kUserRootKey);
    key = hive.Snapshot().FindKey(hivePath);
    if (key != nullptr) {
        const HiveValue* file = key->FindValue(kLastLogFileValue);
        const HiveValue* position = key->FindValue(kLastLogPositionValue);
        const HiveValue* number = key->FindValue(kLastLogNumberValue);
        int64_t offset = 0;
        if (file != nullptr && file->type == kHiveString && position != nullptr &&
            position->type == kHiveString && ParseOffset(position->data, offset) &&
            number != nullptr && number->type == kHiveDword && number->data.size() == 4) {
            agent.SiteMap->LastLogFile = file->data;
            agent.SiteMap->LastLogPosition = offset;
            agent.SiteMap->LastLogNumber = static_cast<int32_t>(number->Number());
        }
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

bool SaveSuffixLists(const CAgentList& list) {
    CHiveFile& hive = UserHive();
    CHiveBatch batch(hive);
    CRegistryKey key;
    if (!key.Open(hive, kProductKeyPath)) {
        batch.End();
        return false;
    }
    for (int i = 0; i < kSuffixTypeCount; ++i) {
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
