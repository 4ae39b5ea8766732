// Event sounds: the user picks a sound file per event in the per-user key
// "AppEvents\Schemes\Apps\Dravik\Dravik-<event>\.Current" (its default
// value); the front end plays it without waiting. Events: "Message",
// "Prompt" (the message dialog) and "ScanComplete" (end of a scan).
#pragma once

#include <string>

namespace dravik::messages {

// The per-user key path of an event's sound.
std::string EventSoundKey(const std::string& event);

// Asks the installed front end to play the event's sound file; does nothing
// when none is set or no front end is installed.
void PlayEventSound(const char* event);

}  // namespace dravik::messages
