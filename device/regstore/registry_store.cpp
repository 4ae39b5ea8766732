#include "device/regstore/registry_store.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "device/test_seams.h"
#include "platform/utf8_text.h"
#include "platform/version_info.h"

using namespace dravik::platform;

namespace {

// Per module: this file is compiled into each module that uses the store,
// and these names are not exported, so each module has its own.
std::mutex namesLock;
char rememberedApplication[RegistryStore::kNameChars];
char companyName[RegistryStore::kNameChars];

const char* Text(const char* name) { return name ? name : ""; }

// Copies `text` into a fixed name buffer, cut at a character boundary so a
// long UTF-8 name never ends in half a character.
void CopyName(char (&target)[RegistryStore::kNameChars], const std::string& text) {
    const std::size_t length = dravik::text::Utf8CutLength(text, RegistryStore::kNameChars - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

bool LoadCompanyName() {
    if (companyName[0] != '\0') return true;
    std::string company;
    if (!QueryVersionValue(MainProgramVersionInfo(), "\\StringFileInfo\\040904B0\\CompanyName", company) ||
        company.empty())
        return false;
    CopyName(companyName, company);
    return true;
}

}  // namespace

bool RegistryStore::Open(const char* applicationName) {
    std::string application = Text(applicationName);
    std::string company;
    {
        std::lock_guard<std::mutex> g(namesLock);
        if (!application.empty() && rememberedApplication[0] == '\0') CopyName(rememberedApplication, application);
        if (application.empty()) application = rememberedApplication;
        if (!LoadCompanyName()) {
            Close();
            return false;
        }
        company = companyName;
    }
    Close();

    bool machineWide = application.starts_with(".");
    std::string own = machineWide ? application.substr(1) : application;
    // With no name at all the path would name the company's own key;
    // settings never belong there.
    if (own.empty()) return false;
    std::string path = (machineWide ? "SOFTWARE\\" : "Software\\") + company + "\\" + own;
    HiveRoot root = machineWide ? HiveRoot::LocalMachine : HiveRoot::CurrentUser;

    if (RegistryKey::Create(root, path, KeyAccess::Full, key_) == kRegAccessDenied)
        RegistryKey::Create(root, path, KeyAccess::Query, key_);
    return key_.IsOpen();
}

bool RegistryStore::OpenKey(RegistryRoot root, const char* path) {
    Close();
    HiveRoot hive = root == RegistryRoot::LocalMachine ? HiveRoot::LocalMachine : HiveRoot::CurrentUser;
    RegistryKey::Open(hive, Text(path), KeyAccess::Full, key_);
    return key_.IsOpen();
}

void RegistryStore::Close() { key_.Close(); }

bool RegistryStore::Query(const char* name, RegistryValue& value) const {
    return key_.IsOpen() && key_.QueryValue(Text(name), value) == kRegSuccess;
}

std::string RegistryStore::ReadString(const char* name, const char* defaultText) const {
    RegistryValue value;
    if (Query(name, value) && (value.type == REG_SZ || value.type == REG_EXPAND_SZ) &&
        CharacterCount(value.data) <= kMaxStringChars)
        return value.data;
    return Text(defaultText);
}

long RegistryStore::WriteString(const char* name, const char* text) {
    if (!key_.IsOpen()) return kRegInvalidHandle;
    return key_.SetValue(Text(name), REG_SZ, Text(text));
}

bool RegistryStore::ReadFlag(const char* name, bool defaultValue) const {
    RegistryValue value;
    uint32_t number = 0;
    if (Query(name, value) && value.type == REG_DWORD && DwordFromData(value.data, number)) return number != 0;
    return defaultValue;
}

uint32_t RegistryStore::ReadNumber(const char* name, uint32_t defaultValue) const {
    RegistryValue value;
    uint32_t number = 0;
    if (Query(name, value) && value.type == REG_DWORD && DwordFromData(value.data, number)) return number;
    return defaultValue;
}

long RegistryStore::WriteFlag(const char* name, bool value) { return WriteNumber(name, value ? 1 : 0); }

long RegistryStore::WriteNumber(const char* name, uint32_t value) {
    if (!key_.IsOpen()) return kRegInvalidHandle;
    return key_.SetValue(Text(name), REG_DWORD, DwordData(value));
}

uint32_t RegistryStore::ReadBinary(const char* name, void* buffer, uint32_t size) const {
    RegistryValue value;
    if (!Query(name, value) || value.type != REG_BINARY) return 0;
    if (value.data.size() <= size && buffer != nullptr) std::memcpy(buffer, value.data.data(), value.data.size());
    return static_cast<uint32_t>(value.data.size());
}

bool RegistryStore::WriteBinary(const char* name, const void* data, uint32_t size) {
    if (!key_.IsOpen() || (data == nullptr && size > 0)) return false;
    std::string bytes(static_cast<const char*>(data), size);
    return key_.SetValue(Text(name), REG_BINARY, bytes) == kRegSuccess;
}

void RegistryStore::Delete(const char* name) {
    if (!key_.IsOpen()) return;
    std::string whole = Text(name);
    // "\" alone names no subkey; it must never reach the key itself.
    if (whole.starts_with("\\") && whole.size() > 1) key_.DeleteSubkey(whole.substr(1));
    key_.DeleteValue(whole);
}

int RegistryStore::EnumValue(uint32_t index, char* nameBuffer, uint32_t size) const {
    if (!key_.IsOpen()) return 0;
    std::string name;
    long result = key_.EnumValueName(index, name);
    if (result == kRegNoMoreItems) return 0;
    if (result != kRegSuccess) return -static_cast<int>(result);
    if (nameBuffer == nullptr || name.size() >= size) return -static_cast<int>(kRegMoreData);
    std::memcpy(nameBuffer, name.c_str(), name.size() + 1);
    return static_cast<int>(name.size());
}

bool RegistryStore::EnumKey(uint32_t index, char* nameBuffer, uint32_t size) const {
    if (!key_.IsOpen()) return false;
    std::string name;
    if (key_.EnumSubkeyName(index, name) != kRegSuccess) return false;
    if (nameBuffer != nullptr && size > 0) {
        std::size_t length = std::min<std::size_t>(name.size(), size - 1);
        std::memcpy(nameBuffer, name.data(), length);
        nameBuffer[length] = '\0';
    }
    return true;
}

std::string RegistryStore::RememberedApplicationName() {
    std::lock_guard<std::mutex> g(namesLock);
    return rememberedApplication;
}

std::string RegistryStore::RememberedCompanyName() {
    std::lock_guard<std::mutex> g(namesLock);
    return companyName;
}

void dravik::device::test_seams::ForgetRegistryNames() {
    std::lock_guard<std::mutex> g(namesLock);
    rememberedApplication[0] = '\0';
    companyName[0] = '\0';
}
