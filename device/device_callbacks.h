// The callbacks the program hands to the device library, and the language
// module handle from which the library loads its texts.
#pragma once

namespace dravik::device {

// User-facing messages by text id (high 16 bits: message flags); id 0 passes
// a finished text, which goes to the log only when it begins with "!".
using MessageCallback = int (*)(int id, ...);
// printf-style debug line writer.
using DebugCallback = void (*)(char* format, ...);
// Hex dump of a buffer: data, length, title.
using DebugDumpCallback = void (*)(void* data, int length, const char* title);

// A loaded language module (the dlopen handle of liblangres.so); null when
// none was given. Texts are read from it through its exported
// GetLanguageString.
using ResourceModule = void*;

}  // namespace dravik::device
