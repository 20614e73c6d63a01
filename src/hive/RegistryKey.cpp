#include "hive/RegistryKey.h"

#include "hive/Hive.h"
#include "hive/HiveFile.h"

namespace {

// The scrambling key of EncodeText. Changing it would make stored passwords unreadable.
constexpr unsigned char kScramble[] = {0x5A, 0x13, 0xC7, 0x2E, 0x91, 0x6B, 0xF4, 0x38,
                                       0xA5, 0x0D, 0x7C, 0xE2, 0x46, 0xB9, 0x1F, 0x83};

}  // namespace

bool CRegistryKey::Open(CHiveFile& hive, const std::string& path) {
    StringList components;
    std::string_view rest(path);
    for (;;) {
        std::size_t slash = rest.find('/');
        components.emplace_back(rest.substr(0, slash));
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    return Open(hive, components);
}

bool CRegistryKey::Open(CHiveFile& hive, const StringList& components) {
    Close();
    if (components.empty())
        return false;
    StringList path;
    path.reserve(components.size() + 1);
    path.emplace_back(kUserRootKey);
    for (const std::string& part : components) {
        if (!IsValidKeyName(part))
            return false;
        path.push_back(part);
    }
    if (!hive.Refresh())
        return false;
    if (hive.Snapshot().FindKey(path) == nullptr) {
        if (!hive.Apply([path](CHive& h) { h.CreateKey(path); }))
            return false;
    }
    m_hive = &hive;
    m_path = std::move(path);
    return true;
}

void CRegistryKey::Close() {
    m_hive = nullptr;
    m_path.clear();
}

const CHiveKey* CRegistryKey::Key() const {
    return m_hive != nullptr ? m_hive->Snapshot().FindKey(m_path) : nullptr;
}

bool CRegistryKey::EnumSubKeys(StringList& names) {
    if (m_hive == nullptr)
        return false;
    names.clear();
    if (const CHiveKey* key = Key()) {
        for (const auto& sub : key->SubKeys()) {
            names.push_back(sub->Name());
        }
    }
    return true;
}

bool CRegistryKey::Set(const std::string& name, std::string data, uint32_t type) {
    if (m_hive == nullptr || !IsValidValueName(name))
        return false;
    HiveValue value;
    if (type == kHiveString) {
        value = HiveValue::String(name, std::move(data));
    } else {
        value.name = name;
        value.type = type;
        value.data = std::move(data);
    }
    return m_hive->Apply([path = m_path, value](CHive& h) {
        if (CHiveKey* key = h.CreateKey(path))
            key->SetValue(value);
    });
}

bool CRegistryKey::SetString(const std::string& name, const std::string& text) {
    return Set(name, text, kHiveString);
}

bool CRegistryKey::SetNumber(const std::string& name, uint32_t value) {
    return Set(name, HiveValue::Dword(name, value).data, kHiveDword);
}

bool CRegistryKey::SetBool(const std::string& name, bool flag) {
    return SetString(name, flag ? "true" : "false");
}

bool CRegistryKey::SetEnum(const std::string& name, int32_t index, const char* const* table) {
    int32_t count = 0;
    while (table[count][0] != '\0')
        ++count;
    if (index < 0 || index >= count)
        index = 0;
    return SetString(name, count > 0 ? table[index] : "");
}

bool CRegistryKey::SetEncoded(const std::string& name, const std::string& text) {
    return SetString(name, EncodeText(text));
}

bool CRegistryKey::GetString(const std::string& name, std::string& text) const {
    const CHiveKey* key = Key();
    const HiveValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    if (value == nullptr || value->type != kHiveString)
        return false;
    text = value->data;
    return true;
}

bool CRegistryKey::GetNumber(const std::string& name, uint32_t& number) const {
    const CHiveKey* key = Key();
    const HiveValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    if (value == nullptr || value->type != kHiveDword || value->data.size() != 4)
        return false;
    number = value->Number();
    return true;
}

bool CRegistryKey::GetBool(const std::string& name, bool& flag) const {
    std::string text;
    if (!GetString(name, text))
        return false;
    flag = EqualsNoCase(text, "true");
    return true;
}

bool CRegistryKey::GetEnum(const std::string& name, int32_t& index,
                           const char* const* table) const {
    index = 0;
    std::string text;
    if (!GetString(name, text))
        return false;
    for (int32_t i = 0; table[i][0] != '\0'; ++i) {
        if (EqualsNoCase(text, table[i])) {
            index = i;
            return true;
        }
    }
    return false;
}

bool CRegistryKey::GetEncoded(const std::string& name, std::string& text) const {
    std::string stored;
    return GetString(name, stored) && DecodeText(stored, text);
}

bool CRegistryKey::DeleteSubKey(const std::string& name) {
    if (m_hive == nullptr || !IsValidKeyName(name))
        return false;
    const CHiveKey* key = Key();
    if (key == nullptr || key->FindSubKey(name) == nullptr)
        return false;
    StringList path = m_path;
    path.push_back(name);
    return m_hive->Apply([path](CHive& h) { h.DeleteKey(path); });
}

std::string EncodeText(std::string_view text) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Each byte is mixed with the key and with its position, so that equal letters do not
        // show as equal pairs.
        const unsigned char b = static_cast<unsigned char>(text[i]) ^
                                kScramble[i % sizeof kScramble] ^ static_cast<unsigned char>(i * 7);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0xF]);
    }
    return out;
}

bool DecodeText(std::string_view encoded, std::string& text) {
    if (encoded.size() % 2 != 0)
        return false;
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(encoded.size() / 2);
    for (std::size_t i = 0; i < encoded.size(); i += 2) {
        const int hi = digit(encoded[i]);
        const int lo = digit(encoded[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        const std::size_t n = i / 2;
        out.push_back(static_cast<char>(static_cast<unsigned char>((hi << 4) | lo) ^
                                        kScramble[n % sizeof kScramble] ^
                                        static_cast<unsigned char>(n * 7)));
    }
    text = std::move(out);
    return true;
}
