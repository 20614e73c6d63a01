// The registry wrapper through which all settings are read and written: one open key of a hive
// file (CHiveFile), or none. Reads use the hive's snapshot as it was when the key was opened
// (plus this process's own changes); every Set and DeleteSubKey is written to the file at once,
// or at the end of the hive's open batch. Every failure is silent: a get or set on a key that
// is not open returns false. One thread at a time, like the hive it uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/PathRules.h"

class CHiveFile;
class CHiveKey;

class CRegistryKey {
  public:
    CRegistryKey() = default;
    ~CRegistryKey() = default;

    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Closes any open key, brings the hive's snapshot up to date with its file, splits path at
    // "/" and opens each component in turn below the hive's root key, creating the missing
    // ones (which writes the file). False as soon as a component cannot be created: an empty
    // or invalid name, or a file that cannot be read or written. hive is borrowed and must
    // outlive the open key.
    bool Open(CHiveFile& hive, const std::string& path);
    // The same with the components given one by one (a component may then hold "/").
    bool Open(CHiveFile& hive, const StringList& components);
    void Close();
    bool IsOpen() const { return m_hive != nullptr; }

    // Empties names and appends the name of every subkey, in the registry's enumeration order
    // (alphabetical without regard to case). False when no key is open.
    bool EnumSubKeys(StringList& names);

    // Write one value each, replacing a value of the same name (compared without regard to
    // case, the stored name keeping its first case) where it stands. False when no key is open,
    // the name is invalid, or the file could not be written.
    bool SetString(const std::string& name, const std::string& text);
    bool SetNumber(const std::string& name, uint32_t value);
    // "true" or "false".
    bool SetBool(const std::string& name, bool flag);
    // The table's text at index (an index outside the table writes its first entry). table:
    // texts ended by an empty entry, borrowed for the call.
    bool SetEnum(const std::string& name, int32_t index, const char* const* table);
    // The text in an encoded printable form (EncodeText).
    bool SetEncoded(const std::string& name, const std::string& text);

    // Reads a string value of any length. False when it is absent or not a string; text is
    // changed only on success.
    bool GetString(const std::string& name, std::string& text) const;
    // False unless the value is a double word.
    bool GetNumber(const std::string& name, uint32_t& value) const;
    // False when the string is absent; otherwise flag is whether it equals "true" ignoring case.
    bool GetBool(const std::string& name, bool& flag) const;
    // Sets index to 0, then reads the string and looks for it, ignoring case, among the table's
    // texts; on the first match sets index and returns true. False when absent or unmatched.
    bool GetEnum(const std::string& name, int32_t& index, const char* const* table) const;
    // Reads the string and decodes it. False when absent, not a string or not decodable.
    bool GetEncoded(const std::string& name, std::string& text) const;

    // Deletes the named subkey of the open key with everything below it. False when no key is
    // open, there is no such subkey, or the file could not be written.
    bool DeleteSubKey(const std::string& name);

  private:
    const CHiveKey* Key() const;
    bool Set(const std::string& name, std::string data, uint32_t type);

    CHiveFile* m_hive = nullptr;
    StringList m_path;  // from the root key down
};

// The encoded form of a text (used for the FTP password): a reversible scrambling written as
// hexadecimal digits. Obfuscation only: anyone with the file can decode it.
std::string EncodeText(std::string_view text);
// False when encoded is not such a form; text is changed only on success.
bool DecodeText(std::string_view encoded, std::string& text);
