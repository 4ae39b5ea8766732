#include "program/messages/event_sound.h"

#include <mutex>

#include "program/port/shell_port.h"

#include "device/regstore/registry_store.h"

namespace dravik::messages {

namespace {

std::string ReadSoundFromRegistry(const std::string& keyPath) {
    RegistryStore store;
    if (!store.OpenKey(HKEY_CURRENT_USER, keyPath.c_str())) return {};
    return store.ReadString("", "");
}

std::mutex& LookupLock() {
    static std::mutex lock;
    return lock;
}
SoundFileLookup& Lookup() {
    static SoundFileLookup lookup;
    return lookup;
}

}  // namespace

std::string EventSoundKey(const std::string& event) {
    return "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-" + event + "\\.Current";
}

void SetSoundFileLookup(SoundFileLookup lookup) {
    std::lock_guard<std::mutex> hold(LookupLock());
    Lookup() = std::move(lookup);
}

void PlayEventSound(const char* event) {
    port::ShellPort* port = port::InstalledShellPort();
    if (!port || !event) return;
    SoundFileLookup lookup;
    {
        std::lock_guard<std::mutex> hold(LookupLock());
        lookup = Lookup();
    }
    std::string key = EventSoundKey(event);
    std::string file = lookup ? lookup(key) : ReadSoundFromRegistry(key);
    if (!file.empty()) port->PlaySoundFile(file);
}

}  // namespace dravik::messages
