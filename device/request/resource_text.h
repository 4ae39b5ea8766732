// Texts by number from the language module that CDDevice::Initialize was
// given (a dlopen handle of liblangres.so). The module exports
// "GetLanguageString"; a module without it, or without the text, gives an
// empty result rather than a failure.
#pragma once

#include <string>

#include "device/device_callbacks.h"

namespace dravik::device {

// The text with that number, or null when the module (or the text) is
// missing. The pointer stays valid while the module is loaded.
const char* FindResourceText(ResourceModule module, unsigned id);

// The same as a string; empty when missing.
std::string LoadResourceText(ResourceModule module, unsigned id);

}  // namespace dravik::device
