// The settings registry: two hives of keys and values, per-user and
// machine-wide, kept as text files (format: hive_text.h; locations:
// hive_locations.h; how files are read and written: hive_file.h).
//
// A RegistryKey is an open key: a hive and a path, opened with query rights
// or full rights. It holds no copy of the data; every call reads the hive's
// current state (re-read when the file changed) and every change re-reads,
// changes and writes the file under the hive's lock. A machine hive that
// this user cannot write refuses full rights with kRegAccessDenied, so the
// caller can open it again with query rights and read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hive_text.h"
#include "registry_errors.h"

namespace dravik::platform {

enum class HiveRoot { CurrentUser, LocalMachine };
enum class KeyAccess { Query, Full };

struct RegistryValue {
    uint32_t type = REG_NONE;
    std::string data;
};

class RegistryKey {
public:
    RegistryKey() = default;

    // Opens the key at `path` below `root`, creating it (and the keys above
    // it) when missing; creating needs a writable hive even with query rights.
    static long Create(HiveRoot root, std::string_view path, KeyAccess access, RegistryKey& key);
    // Opens an existing key.
    static long Open(HiveRoot root, std::string_view path, KeyAccess access, RegistryKey& key);

    bool IsOpen() const { return !hivePath_.empty(); }
    void Close();
    KeyAccess Access() const { return access_; }
    // The hive file this key lives in.
    const std::string& HivePath() const { return hivePath_; }

    long QueryValue(std::string_view name, RegistryValue& value) const;
    long SetValue(std::string_view name, uint32_t type, std::string_view data);
    long DeleteValue(std::string_view name);
    // Deletes the subkey and everything below it.
    long DeleteSubkey(std::string_view name);
    // The index-th value or subkey name, in creation order; kRegNoMoreItems
    // past the end.
    long EnumValueName(uint32_t index, std::string& name) const;
    long EnumSubkeyName(uint32_t index, std::string& name) const;

private:
    static long OpenOrCreate(HiveRoot root, std::string_view path, KeyAccess access, bool create, RegistryKey& key);
    // Calls `use` with this key's node in the hive's current content.
    template <typename Use>
    long WithNode(Use use) const;
    template <typename Change>
    long Modify(Change change);

    std::string hivePath_;
    std::string hiveTitle_;
    std::vector<std::string> parts_;
    KeyAccess access_ = KeyAccess::Query;
};

}  // namespace dravik::platform
