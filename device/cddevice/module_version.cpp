#include "device/cddevice/module_version.h"

#include <dlfcn.h>
#include <link.h>

#include "platform/version_info.h"

namespace dravik::device {

namespace {

// The link map of the module that contains `address`.
link_map* ModuleMapOf(const void* address) {
    Dl_info where{};
    link_map* map = nullptr;
    if (dladdr1(address, &where, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return nullptr;
    return map;
}

// A handle through which dlsym searches that module first. The program
// itself is reached through dlopen(nullptr); a library by its name,
// without loading anything (the handle only adds a reference, which the
// caller drops again).
void* OpenLoadedModule(link_map* map) {
    void* program = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
    link_map* programMap = nullptr;
    if (program != nullptr && dlinfo(program, RTLD_DI_LINKMAP, &programMap) == 0 && programMap == map)
        return program;
    if (program != nullptr) dlclose(program);
    if (map->l_name == nullptr || map->l_name[0] == '\0') return nullptr;
    return dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD);
}

const DravikVersionInfo* VersionRecordOf(link_map* map) {
    void* module = OpenLoadedModule(map);
    if (module == nullptr) return nullptr;
    void* symbol = dlsym(module, dravik::platform::kVersionInfoSymbol);
    dlclose(module);
    // dlsym also searches what the module loaded; only the module's own
    // record counts.
    if (symbol == nullptr || ModuleMapOf(symbol) != map) return nullptr;
    auto* info = static_cast<const DravikVersionInfo*>(symbol);
    if (info->signature != dravik::platform::kVersionInfoSignature || info->layoutVersion != 1) return nullptr;
    return info;
}

}  // namespace

const void* ThisModuleBase() {
    Dl_info where{};
    if (dladdr(reinterpret_cast<const void*>(&ThisModuleBase), &where) == 0) return nullptr;
    return where.dli_fbase;
}

bool ModuleProductVersion(const void* moduleBase, std::string& version) {
    link_map* map = ModuleMapOf(moduleBase ? moduleBase : reinterpret_cast<const void*>(&ThisModuleBase));
    if (map == nullptr) return false;
    return dravik::platform::QueryVersionValue(VersionRecordOf(map), "\\StringFileInfo\\040904b0\\ProductVersion",
                                               version);
}

}  // namespace dravik::device
