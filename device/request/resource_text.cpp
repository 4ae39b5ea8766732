#include "device/request/resource_text.h"

#include <dlfcn.h>

namespace dravik::device {

const char* FindResourceText(ResourceModule module, unsigned id) {
    if (module == nullptr) return nullptr;
    using GetString = const char* (*)(unsigned);
    auto getString = reinterpret_cast<GetString>(::dlsym(module, "GetLanguageString"));
    if (getString == nullptr) return nullptr;
    return getString(id);
}

std::string LoadResourceText(ResourceModule module, unsigned id) {
    const char* text = FindResourceText(module, id);
    return text ? std::string(text) : std::string();
}

}  // namespace dravik::device
