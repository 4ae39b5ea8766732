// Test seams of the message helpers: FOR TESTS ONLY. The program never
// calls these. The definitions sit beside the state they replace.
#pragma once

#include <functional>
#include <string>

namespace dravik::messages::test_seams {

// Replaces how an event's sound file is found (the default value of its
// per-user key in the registry store), so tests choose the file without
// writing settings; null restores the registry store.
using SoundFileLookup = std::function<std::string(const std::string& keyPath)>;
void SetSoundFileLookup(SoundFileLookup lookup);

}  // namespace dravik::messages::test_seams
