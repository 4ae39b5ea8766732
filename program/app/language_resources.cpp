#include "program/app/language_resources.h"

#include <dlfcn.h>

#include "program/messages/language_module.h"
#include "program/messages/show_message.h"

namespace dravik::app {

void* LanguageModuleHandle() {
    const messages::LanguageModule& language = messages::MessageLanguage();
    if (!language.Loaded()) return nullptr;
    // The module is loaded already; RTLD_NOLOAD only finds it. The extra
    // reference this takes is dropped at once: the module stays loaded for
    // as long as the LanguageModule object holds it.
    void* handle = ::dlopen(language.Path().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) ::dlclose(handle);
    return handle;
}

std::string LanguageResource(const char* name) {
    void* handle = LanguageModuleHandle();
    if (!handle) return {};
    auto get = reinterpret_cast<const char* (*)(const char*)>(::dlsym(handle, "GetLanguageResource"));
    if (!get) return {};
    const char* text = get(name);
    return text ? std::string(text) : std::string();
}

}  // namespace dravik::app
