#include "program/messages/event_sound.h"

#include <mutex>

#include "program/messages/test_seams.h"
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
// The sound file of a per-user key: empty reads the registry store, a test
// may put its own in place (program/messages/test_seams.h).
test_seams::SoundFileLookup& Lookup() {
    static test_seams::SoundFileLookup lookup;
    return lookup;
}

}  // namespace

std::string EventSoundKey(const std::string& event) {
    return "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-" + event + "\\.Current";
}

void test_seams::SetSoundFileLookup(SoundFileLookup lookup) {
    std::lock_guard<std::mutex> hold(LookupLock());
    Lookup() = std::move(lookup);
}

void PlayEventSound(const char* event) {
    port::ShellPort* port = port::InstalledShellPort();
    if (!port || !event) return;
    test_seams::SoundFileLookup lookup;
    {
        std::lock_guard<std::mutex> hold(LookupLock());
        lookup = Lookup();
    }
    std::string key = EventSoundKey(event);
    std::string file = lookup ? lookup(key) : ReadSoundFromRegistry(key);
    if (!file.empty()) port->PlaySoundFile(file);
}

}  // namespace dravik::messages
