// The per-user settings hive in memory: a tree of keys, each with typed values, as a registry
// holds them, and its text form (the registry-export format, see doc/formats/settings-file.md).
// Plain data without locks: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/PathRules.h"

// Value types, numbered as the registry numbers them (the number appears in "hex(n):").
enum HiveValueType : uint32_t {
    kHiveNone = 0,
    kHiveString = 1,
    kHiveExpandString = 2,
    kHiveBinary = 3,
    kHiveDword = 4,
    kHiveMultiString = 7,
};

struct HiveValue {
    std::string name;  // "" is the key's default value ("@" in the text form)
    uint32_t type = kHiveString;
    // kHiveString: the text (UTF-8, no NUL). kHiveDword: the four bytes, little-endian. Any
    // other type: the raw bytes, kept as read so that rewriting the file loses nothing.
    std::string data;

    static HiveValue String(std::string name, std::string text);
    static HiveValue Dword(std::string name, uint32_t value);
    // The number of a kHiveDword value.
    uint32_t Number() const;

    bool operator==(const HiveValue&) const = default;
};

// One key: its name, its values in the order they were first set, and its subkeys in the
// registry's enumeration order (names compared without regard to case). Names compare without
// regard to case and keep the case they were created with.
class CHiveKey {
  public:
    explicit CHiveKey(std::string name) : m_name(std::move(name)) {}

    const std::string& Name() const { return m_name; }
    const std::vector<HiveValue>& Values() const { return m_values; }
    const std::vector<std::unique_ptr<CHiveKey>>& SubKeys() const { return m_subKeys; }

    // nullptr when absent.
    CHiveKey* FindSubKey(std::string_view name) const;
    const HiveValue* FindValue(std::string_view name) const;

    // The subkey of that name, created in its sorted place when absent.
    CHiveKey* AddSubKey(std::string_view name);
    // Deletes the subkey and everything below it; false when there is none.
    bool DeleteSubKey(std::string_view name);
    // Replaces the value of the same name where it stands, or appends it.
    void SetValue(HiveValue value);
    bool DeleteValue(std::string_view name);

    bool operator==(const CHiveKey& other) const;

  private:
    // Where a subkey of that name stands or would stand in the sorted list.
    std::size_t SubKeyPosition(std::string_view name) const;

    std::string m_name;
    std::vector<HiveValue> m_values;
    std::vector<std::unique_ptr<CHiveKey>> m_subKeys;
};

// The order in which the registry enumerates names: byte-wise after ASCII upper-casing.
bool HiveNameLess(std::string_view a, std::string_view b);

// What a parse met, for callers that care (a rewrite keeps a copy of a damaged file).
struct HiveParseReport {
    int lines = 0;         // lines of text, continuation lines included
    int skippedLines = 0;  // lines that were neither blank, comment, header, key nor value
    bool utf16 = false;    // the bytes were UTF-16LE with a byte-order mark
};

class CHive {
  public:
    CHive() : m_root(std::string()) {}

    CHive(const CHive&) = delete;
    CHive& operator=(const CHive&) = delete;
    CHive(CHive&&) = default;
    CHive& operator=(CHive&&) = default;

    // The nameless top of the tree; its subkeys are the root keys ("HKEY_CURRENT_USER").
    CHiveKey& Root() { return m_root; }
    const CHiveKey& Root() const { return m_root; }

    // The key at the path (components from a root key down), or nullptr.
    CHiveKey* FindKey(const StringList& path) const;
    // The key at the path, creating every missing component. nullptr when the path is empty or a
    // component is not a valid key name (see IsValidKeyName).
    CHiveKey* CreateKey(const StringList& path);
    // Deletes the key at the path with everything below it; false when there is none.
    bool DeleteKey(const StringList& path);

    // Replaces the whole tree by the one the text describes. Never fails: lines it cannot parse
    // are skipped. data is borrowed for the call.
    HiveParseReport Parse(const void* data, std::size_t size);

    // The text form: header line, blank line, then every key that has a path below a root key,
    // parents before their subkeys, each section followed by a blank line. UTF-8, LF line ends.
    std::string Serialize() const;

    bool operator==(const CHive& other) const { return m_root == other.m_root; }

  private:
    CHiveKey m_root;
};

// A key name the text form can hold: not empty, and without "\" or line breaks.
bool IsValidKeyName(std::string_view name);
// A value name the text form can hold: without line breaks.
bool IsValidValueName(std::string_view name);

// The string conversions of "hex(1):" values. Bytes that are not UTF-8 travel as the UTF-16
// units 0xDC80 to 0xDCFF (one per byte) and come back as the same bytes, so every text survives
// the round trip. Decoding stops at the first NUL unit; a trailing odd byte is ignored.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// True when the text is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view text);
