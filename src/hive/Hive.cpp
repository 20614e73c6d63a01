#include "hive/Hive.h"

#include "base/PathRules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
// Bytes of a hex value per line of text, as registry exports break them.
constexpr std::size_t kHexBytesPerLine = 25;

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// 1 to 8 hex digits as a number.
bool ParseHexNumber(std::string_view s, uint32_t& value) {
    if (s.empty() || s.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : s) {
        int d = HexDigitValue(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    value = v;
    return true;
}

// "01,ab, 7f" as bytes; a trailing comma is allowed.
bool ParseHexBytes(std::string_view s, std::string& bytes) {
    bytes.clear();
    s = Trim(s);
    if (s.empty())
        return true;
    if (s.back() == ',')
        s.remove_suffix(1);
    for (;;) {
        std::size_t comma = s.find(',');
        std::string_view token = Trim(s.substr(0, comma));
        uint32_t v = 0;
        if (token.size() > 2 || !ParseHexNumber(token, v))
            return false;
        bytes.push_back(static_cast<char>(v));
        if (comma == std::string_view::npos)
            return true;
        s.remove_prefix(comma + 1);
    }
}

// A line that only continues a hex value: hex digits, commas, blanks, maybe a final "\".
bool IsHexContinuation(std::string_view line) {
    line = Trim(line);
    if (line.empty())
        return false;
    if (line.back() == '\\')
        line.remove_suffix(1);
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return HexDigitValue(c) >= 0 || c == ',' || IsBlank(c); });
}

// Reads a quoted text starting at s[pos] == '"' with the "\\" and "\"" escapes (any other
// backslash stays as it is). pos ends after the closing quote. False when it is not closed.
bool ParseQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    out.clear();
    ++pos;
    while (pos < s.size()) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) {
            out.push_back(s[pos + 1]);
            pos += 2;
            continue;
        }
        out.push_back(c);
        ++pos;
    }
    return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 units to UTF-8. Pairs become one character; a lone unit 0xDC80-0xDCFF becomes the byte
// it carries; any other lone surrogate becomes U+FFFD.
std::string DecodeUtf16(std::u16string_view units, bool stopAtNul) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        uint32_t u = units[i];
        if (u == 0 && stopAtNul)
            break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.push_back(static_cast<char>(u - 0xDC00));
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at s[i] and its code point; 0 when it is not one.
std::size_t Utf8Sequence(std::string_view s, std::size_t i, uint32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t len = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        cp = lead & 0x0Fu;
        if (lead == 0xE0)
            lo = 0xA0;
        if (lead == 0xED)
            hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        cp = lead & 0x07u;
        if (lead == 0xF0)
            lo = 0x90;
        if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    if (b(1) < lo || b(1) > hi)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if (k > 1 && (b(k) < 0x80 || b(k) > 0xBF))
            return 0;
        cp = (cp << 6) | (b(k) & 0x3Fu);
    }
    return len;
}

bool NeedsHexForm(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20)
            return true;
    }
    return !IsValidUtf8(text);
}

void AppendHexData(std::string& out, uint32_t type, std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    if (type == kHiveBinary) {
        out += "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
        out += prefix;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
            if (i % kHexBytesPerLine == 0)
                out += "\\\n  ";
        }
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0xF]);
    }
}

void AppendValue(std::string& out, const HiveValue& value) {
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        AppendQuoted(out, value.name);
    }
    out.push_back('=');
    if (value.type == kHiveString) {
        if (NeedsHexForm(value.data)) {
            std::u16string units = Utf8ToUtf16(value.data);
            units.push_back(0);
            std::string bytes;
            bytes.reserve(units.size() * 2);
            for (char16_t u : units) {
                bytes.push_back(static_cast<char>(u & 0xFF));
                bytes.push_back(static_cast<char>(u >> 8));
            }
            AppendHexData(out, kHiveString, bytes);
        } else {
            AppendQuoted(out, value.data);
        }
    } else if (value.type == kHiveDword && value.data.size() == 4) {
        char text[24];
        std::snprintf(text, sizeof text, "dword:%08x", value.Number());
        out += text;
    } else {
        AppendHexData(out, value.type, value.data);
    }
    out.push_back('\n');
}

void AppendKey(std::string& out, std::string& path, const CHiveKey& key) {
    const std::size_t mark = path.size();
    if (!path.empty())
        path.push_back('\\');
    path += key.Name();
    out.push_back('[');
    out += path;
    out += "]\n";
    for (const HiveValue& value : key.Values()) {
        AppendValue(out, value);
    }
    out.push_back('\n');
    for (const auto& sub : key.SubKeys()) {
        AppendKey(out, path, *sub);
    }
    path.resize(mark);
}

bool SplitKeyPath(std::string_view text, StringList& path) {
    path.clear();
    for (;;) {
        std::size_t sep = text.find('\\');
        std::string_view part = text.substr(0, sep);
        if (!IsValidKeyName(part))
            return false;
        path.emplace_back(part);
        if (sep == std::string_view::npos)
            return true;
        text.remove_prefix(sep + 1);
    }
}

// The value a line's data part describes. False when it describes none.
bool ParseValueData(std::string_view data, std::string name, HiveValue& value) {
    value = HiveValue();
    value.name = std::move(name);
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!ParseQuoted(data, pos, text) || !Trim(data.substr(pos)).empty())
            return false;
        value = HiveValue::String(std::move(value.name), std::move(text));
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        uint32_t number = 0;
        if (!ParseHexNumber(Trim(data.substr(6)), number))
            return false;
        value = HiveValue::Dword(std::move(value.name), number);
        return true;
    }
    if (StartsWithNoCase(data, "hex")) {
        data.remove_prefix(3);
        uint32_t type = kHiveBinary;
        if (!data.empty() && data.front() == '(') {
            std::size_t close = data.find(')');
            if (close == std::string_view::npos ||
                !ParseHexNumber(data.substr(1, close - 1), type)) {
                return false;
            }
            data.remove_prefix(close + 1);
        }
        if (data.empty() || data.front() != ':')
            return false;
        std::string bytes;
        if (!ParseHexBytes(data.substr(1), bytes))
            return false;
        if (type == kHiveString) {
            std::u16string units;
            units.reserve(bytes.size() / 2);
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
                units.push_back(
                    static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
            }
            value = HiveValue::String(std::move(value.name), Utf16ToUtf8(units));
            return true;
        }
        value.type = type;
        value.data = std::move(bytes);
        return true;
    }
    return false;
}

}  // namespace

// --- HiveValue ----------------------------------------------------------------------------------

HiveValue HiveValue::String(std::string name, std::string text) {
    HiveValue v;
    v.name = std::move(name);
    v.type = kHiveString;
    // A registry string ends at its terminator.
    std::size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    v.data = std::move(text);
    return v;
}

HiveValue HiveValue::Dword(std::string name, uint32_t value) {
    HiveValue v;
    v.name = std::move(name);
    v.type = kHiveDword;
    for (int i = 0; i < 4; ++i) {
        v.data.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return v;
}

uint32_t HiveValue::Number() const {
    if (data.size() != 4)
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
    }
    return v;
}

// --- Names --------------------------------------------------------------------------------------

bool HiveNameLess(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(UpperAscii(a[i]));
        const unsigned char y = static_cast<unsigned char>(UpperAscii(b[i]));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

bool IsValidKeyName(std::string_view name) {
    return !name.empty() && name.find_first_of("\\\r\n") == std::string_view::npos;
}

bool IsValidValueName(std::string_view name) {
    return name.find_first_of("\r\n") == std::string_view::npos;
}

// --- CHiveKey -----------------------------------------------------------------------------------

std::size_t CHiveKey::SubKeyPosition(std::string_view name) const {
    auto it = std::lower_bound(m_subKeys.begin(), m_subKeys.end(), name,
                               [](const std::unique_ptr<CHiveKey>& k, std::string_view n) {
                                   return HiveNameLess(k->m_name, n);
                               });
    return static_cast<std::size_t>(it - m_subKeys.begin());
}

CHiveKey* CHiveKey::FindSubKey(std::string_view name) const {
    const std::size_t pos = SubKeyPosition(name);
    if (pos < m_subKeys.size() && EqualsNoCase(m_subKeys[pos]->m_name, name)) {
        return m_subKeys[pos].get();
    }
    return nullptr;
}

const HiveValue* CHiveKey::FindValue(std::string_view name) const {
    for (const HiveValue& v : m_values) {
        if (EqualsNoCase(v.name, name))
            return &v;
    }
    return nullptr;
}

CHiveKey* CHiveKey::AddSubKey(std::string_view name) {
    if (!IsValidKeyName(name))
        return nullptr;
    if (CHiveKey* existing = FindSubKey(name))
        return existing;
    const auto at = m_subKeys.begin() + static_cast<std::ptrdiff_t>(SubKeyPosition(name));
    return m_subKeys.insert(at, std::make_unique<CHiveKey>(std::string(name)))->get();
}

bool CHiveKey::DeleteSubKey(std::string_view name) {
    for (auto it = m_subKeys.begin(); it != m_subKeys.end(); ++it) {
        if (EqualsNoCase((*it)->m_name, name)) {
            m_subKeys.erase(it);
            return true;
        }
    }
    return false;
}

void CHiveKey::SetValue(HiveValue value) {
    for (HiveValue& v : m_values) {
        if (EqualsNoCase(v.name, value.name)) {
            // The value keeps its place and the case of its name, as the registry keeps both.
            value.name = std::move(v.name);
            v = std::move(value);
            return;
        }
    }
    m_values.push_back(std::move(value));
}

bool CHiveKey::DeleteValue(std::string_view name) {
    for (auto it = m_values.begin(); it != m_values.end(); ++it) {
        if (EqualsNoCase(it->name, name)) {
            m_values.erase(it);
            return true;
        }
    }
    return false;
}

bool CHiveKey::operator==(const CHiveKey& other) const {
    if (m_name != other.m_name || m_values != other.m_values ||
        m_subKeys.size() != other.m_subKeys.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_subKeys.size(); ++i) {
        if (!(*m_subKeys[i] == *other.m_subKeys[i]))
            return false;
    }
    return true;
}

// --- CHive --------------------------------------------------------------------------------------

CHiveKey* CHive::FindKey(const StringList& path) const {
    const CHiveKey* key = &m_root;
    for (const std::string& part : path) {
        key = key->FindSubKey(part);
        if (key == nullptr)
            return nullptr;
    }
    return path.empty() ? nullptr : const_cast<CHiveKey*>(key);
}

CHiveKey* CHive::CreateKey(const StringList& path) {
    if (path.empty())
        return nullptr;
    for (const std::string& part : path) {
        if (!IsValidKeyName(part))
            return nullptr;
    }
    CHiveKey* key = &m_root;
    for (const std::string& part : path) {
        key = key->AddSubKey(part);
    }
    return key;
}

bool CHive::DeleteKey(const StringList& path) {
    if (path.empty())
        return false;
    StringList parentPath(path.begin(), path.end() - 1);
    CHiveKey* parent = parentPath.empty() ? &m_root : FindKey(parentPath);
    return parent != nullptr && parent->DeleteSubKey(path.back());
}

HiveParseReport CHive::Parse(const void* data, std::size_t size) {
    m_root = CHiveKey(std::string());
    HiveParseReport report;
    const char* bytes = static_cast<const char*>(data);
    std::string text;
    if (size >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        // An export made on Windows: UTF-16LE with a byte-order mark.
        report.utf16 = true;
        std::u16string units;
        units.reserve(size / 2);
        for (std::size_t i = 2; i + 1 < size; i += 2) {
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        text = DecodeUtf16(units, false);
    } else {
        std::size_t start = 0;
        if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0)
            start = 3;
        text.assign(bytes + start, size - start);
    }

    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        std::size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        rest.remove_prefix(nl + 1);
    }
    report.lines = static_cast<int>(lines.size());

    CHiveKey* current = nullptr;
    StringList path;
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line.front() == ';' || line == kHeader || line == kOldHeader) {
            continue;
        }
        if (line.front() == '[') {
            current = nullptr;
            std::size_t close = line.rfind(']');
            if (close == std::string_view::npos || close != line.size() - 1) {
                ++report.skippedLines;
                continue;
            }
            std::string_view inner = line.substr(1, close - 1);
            const bool remove = !inner.empty() && inner.front() == '-';
            if (remove)
                inner.remove_prefix(1);
            if (!SplitKeyPath(inner, path)) {
                ++report.skippedLines;
                continue;
            }
            if (remove) {
                DeleteKey(path);
            } else {
                current = CreateKey(path);
            }
            continue;
        }

        // A value line: @ or "name", "=", data.
        std::string name;
        std::size_t pos = 0;
        bool ok = true;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            ok = ParseQuoted(line, pos, name);
        } else {
            ok = false;
        }
        std::string_view data;
        if (ok) {
            std::string_view after = Trim(line.substr(pos));
            ok = !after.empty() && after.front() == '=';
            if (ok)
                data = Trim(after.substr(1));
        }
        // Long hex values go on over lines that end in "\".
        if (ok && StartsWithNoCase(data, "hex") && !data.empty() && data.back() == '\\') {
            joined.assign(data);
            while (!joined.empty() && joined.back() == '\\') {
                joined.pop_back();
                if (i + 1 < lines.size() && IsHexContinuation(lines[i + 1])) {
                    ++i;
                    joined += Trim(lines[i]);
                } else {
                    break;
                }
            }
            data = joined;
        }
        if (!ok || current == nullptr) {
            ++report.skippedLines;
            continue;
        }
        if (data == "-") {
            current->DeleteValue(name);
            continue;
        }
        HiveValue value;
        if (!ParseValueData(data, std::move(name), value)) {
            ++report.skippedLines;
            continue;
        }
        current->SetValue(std::move(value));
    }
    return report;
}

std::string CHive::Serialize() const {
    std::string out;
    out += kHeader;
    out += "\n\n";
    std::string path;
    for (const auto& rootKey : m_root.SubKeys()) {
        AppendKey(out, path, *rootKey);
    }
    return out;
}

// --- UTF conversions ----------------------------------------------------------------------------

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        uint32_t cp = 0;
        std::size_t len = Utf8Sequence(text, i, cp);
        if (len == 0) {
            out.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(text[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    return DecodeUtf16(text, true);
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        uint32_t cp = 0;
        std::size_t len = Utf8Sequence(text, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}
