#include "version_info.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

#ifndef DRAVIK_COMPANY_NAME
#define DRAVIK_COMPANY_NAME "Quenby"
#endif

namespace dravik::platform {

const char* BuildCompanyName() { return DRAVIK_COMPANY_NAME; }

const DravikVersionInfo* MainProgramVersionInfo() {
    void* program = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
    if (program == nullptr) return nullptr;
    void* symbol = dlsym(program, kVersionInfoSymbol);
    link_map* programMap = nullptr;
    bool found = symbol != nullptr && dlinfo(program, RTLD_DI_LINKMAP, &programMap) == 0;
    dlclose(program);
    if (!found) return nullptr;
    // dlsym on the program's handle also searches the libraries it loaded;
    // only a record inside the executable itself counts.
    Dl_info where{};
    link_map* symbolMap = nullptr;
    if (dladdr1(symbol, &where, reinterpret_cast<void**>(&symbolMap), RTLD_DL_LINKMAP) == 0 || symbolMap != programMap)
        return nullptr;
    auto* info = static_cast<const DravikVersionInfo*>(symbol);
    if (info->signature != kVersionInfoSignature || info->layoutVersion != 1) return nullptr;
    return info;
}

bool QueryVersionValue(const DravikVersionInfo* info, std::string_view subBlock, std::string& value) {
    if (info == nullptr || info->translation == nullptr) return false;
    constexpr std::string_view kStringBlock = "\\StringFileInfo\\";
    if (subBlock.size() < kStringBlock.size() || strncasecmp(subBlock.data(), kStringBlock.data(), kStringBlock.size()) != 0)
        return false;
    subBlock.remove_prefix(kStringBlock.size());
    size_t cut = subBlock.find('\\');
    if (cut == std::string_view::npos) return false;
    std::string_view translation = subBlock.substr(0, cut);
    std::string_view key = subBlock.substr(cut + 1);
    if (translation.size() != std::strlen(info->translation) ||
        strncasecmp(translation.data(), info->translation, translation.size()) != 0)
        return false;
    for (uint32_t i = 0; i < info->stringCount; ++i) {
        const DravikVersionString& entry = info->strings[i];
        if (entry.key && entry.value && key.size() == std::strlen(entry.key) &&
            strncasecmp(key.data(), entry.key, key.size()) == 0) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

}  // namespace dravik::platform
