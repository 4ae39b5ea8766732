// RegistryStore: the small class through which the program and the device
// library keep their settings (platform/registry_hive.h holds the keys).
//
// One object holds at most one open key. Keys are named after the company
// in the main program's version information and an application name: a
// name beginning with "." is machine-wide ("SOFTWARE\<company>\<name
// without the dot>"), any other per-user ("Software\<company>\<name>").
// The first non-empty application name opened in a module is remembered
// and used when an open names none. Each module that compiles this class
// in (libzoltdev.so, the program) keeps its own remembered names.
//
// Every failure is absorbed: reads give their defaults, writes are lost
// (those that return a status return the registry's result), an open that
// fails leaves the store closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry_hive.h"

enum class RegistryRoot { CurrentUser, LocalMachine };
inline constexpr RegistryRoot HKEY_CURRENT_USER = RegistryRoot::CurrentUser;
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;

class RegistryStore {
public:
    static constexpr std::size_t kNameChars = 80;        // remembered names, terminator included
    static constexpr std::size_t kMaxStringChars = 512;  // longer texts read as the default

    RegistryStore() = default;
    ~RegistryStore() { Close(); }
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Opens or creates the application's key, with all rights, or with
    // query rights only when all rights are refused. An empty name means
    // the remembered one.
    bool Open(const char* applicationName);
    // Opens an existing key by full path with all rights.
    bool OpenKey(RegistryRoot root, const char* path);
    void Close();
    bool IsOpen() const { return key_.IsOpen(); }

    // REG_SZ or REG_EXPAND_SZ (as stored, not expanded) of at most 512
    // characters; otherwise the default.
    std::string ReadString(const char* name, const char* defaultText) const;
    long WriteString(const char* name, const char* text);
    // A REG_DWORD value, as non-zero / zero; otherwise the default.
    bool ReadFlag(const char* name, bool defaultValue) const;
    uint32_t ReadNumber(const char* name, uint32_t defaultValue) const;
    long WriteFlag(const char* name, bool value);
    long WriteNumber(const char* name, uint32_t value);
    // For a REG_BINARY value: its size, with the bytes in `buffer` when they
    // fit; when they do not, the size needed and `buffer` untouched.
    // Otherwise 0.
    uint32_t ReadBinary(const char* name, void* buffer, uint32_t size) const;
    bool WriteBinary(const char* name, const void* data, uint32_t size);
    // "\Sub" deletes the subkey Sub first; then the value of the whole name.
    void Delete(const char* name);
    // The length of the index-th value name (copied with its terminator
    // into `nameBuffer` of `size` chars); 0 when there are no more; minus
    // the registry's error on other failures (-234 when it does not fit).
    int EnumValue(uint32_t index, char* nameBuffer, uint32_t size) const;
    // True when the index-th subkey name was returned; a name that does not
    // fit is cut to the buffer and still counts as returned.
    bool EnumKey(uint32_t index, char* nameBuffer, uint32_t size) const;

    // The names this module remembers (tests forget them through
    // device/test_seams.h).
    static std::string RememberedApplicationName();
    static std::string RememberedCompanyName();

private:
    bool Query(const char* name, dravik::platform::RegistryValue& value) const;

    dravik::platform::RegistryKey key_;
};
