// The settings hives as data, and their text form.
//
// A hive is a tree of keys; each key has named values and subkeys. Names
// compare without regard to ASCII case and keep the case they were created
// with. Values and subkeys keep the order in which they were first created,
// so enumeration by index is stable between calls.
//
// Text form (what a person sees in user.reg / machine.reg), UTF-8:
//
//     ; comment lines start with ';' or '#'; blank lines are ignored
//     [Software\Quenby\Dravik]           a key, path from the hive's root
//     "TempPath"="/tmp/"                  REG_SZ
//     "HelpDir"=expand:"$HOME/help"       REG_EXPAND_SZ (kept as written)
//     "IgnoreJoliet"=dword:00000001       REG_DWORD, 1 to 8 hex digits
//     "Columns"=hex:50,00,a0,00,\         REG_BINARY, bytes in hex; a line
//       64,00                             ending in '\' continues on the next
//     "Other"=hex(7):41,00,00             any other type number, as bytes
//     @="text"                            the key's unnamed (default) value
//
// Inside quotes, \\ \" \n \r \t and \xHH (one byte) are escapes; every other
// byte stands for itself. Writing escapes control characters and any bytes
// that are not valid UTF-8, so a hive written here always reads back.
// A section names its key by full path; the keys above it exist implicitly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::platform {

// Value types, with the numbers the settings callers know them by.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Limits of what a hive holds; the parser refuses anything beyond them.
inline constexpr size_t kMaxHiveFileBytes = 16u << 20;
inline constexpr size_t kMaxKeyNameBytes = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameBytes = 16383;

struct HiveValue {
    std::string name;
    uint32_t type = REG_NONE;
    std::string data;  // raw bytes; REG_DWORD is 4 bytes little-endian
};

struct HiveKey {
    std::string name;
    std::vector<HiveValue> values;
    std::vector<HiveKey> subkeys;

    HiveValue* FindValue(std::string_view valueName);
    const HiveValue* FindValue(std::string_view valueName) const;
    HiveKey* FindSubkey(std::string_view keyName);
    const HiveKey* FindSubkey(std::string_view keyName) const;
    // The subkey, created at the end when missing.
    HiveKey& SubkeyCreated(std::string_view keyName);
    // Replaces the value of that name in place, or appends it.
    void SetValue(std::string_view valueName, uint32_t type, std::string data);
    bool RemoveValue(std::string_view valueName);
    bool RemoveSubkey(std::string_view keyName);
};

// ASCII case-insensitive equality, as key and value names compare.
bool NamesEqual(std::string_view a, std::string_view b);

// Splits "A\B\C" into its parts. Empty parts (doubled, leading or trailing
// backslashes) are skipped. False when a part is too long, holds a control
// character or is not valid UTF-8, or the path is too deep.
bool SplitKeyPath(std::string_view path, std::vector<std::string>& parts);

// Parses a hive's text into `root` (the hive's nameless root key). On
// failure returns false and puts the line number and reason in `error`.
bool ParseHiveText(std::string_view text, HiveKey& root, std::string& error);

// The text form of a hive; `title` becomes the first comment line.
std::string FormatHiveText(const HiveKey& root, std::string_view title);

// REG_DWORD data from and to a number.
std::string DwordData(uint32_t value);
bool DwordFromData(std::string_view data, uint32_t& value);

}  // namespace dravik::platform
