// Loading the ASPI manager and the start of the ASPI transport.
#include "device/transport/aspi_library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "device/request/resource_text.h"
#include "device/test_seams.h"
#include "device/transport/aspi_intf.h"
#include "platform/version_info.h"

namespace dravik::device {
namespace {

using namespace platform::aspi;

// The Windows module "WNASPI32.DLL" is this file on Linux.
constexpr const char* kAspiModuleName = "libwnaspi32.so";
constexpr size_t kFormatTextChars = 80;

// A module a test loads instead (device/test_seams.h); empty for the real one.
std::string& ModuleNameOverride() {
    static std::string name;
    return name;
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string text(path, static_cast<size_t>(length));
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

// The program's own folder first, then lib/ beside it (installed), then the
// ordinary search; the text of the last failure in `error`.
void* LoadAspiModule(std::string& error) {
    if (!ModuleNameOverride().empty()) {
        void* module = ::dlopen(ModuleNameOverride().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) error = ::dlerror();
        return module;
    }
    const std::string beside = ProgramFolder() + kAspiModuleName;
    if (void* module = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    // Installed: lib/ beside bin/.
    const std::string installed = ProgramFolder() + "../lib/" + kAspiModuleName;
    if (void* module = ::dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    void* module = ::dlopen(kAspiModuleName, RTLD_NOW | RTLD_LOCAL);
    if (!module) error = ::dlerror();
    return module;
}

int TextIdForStatus(unsigned status) {
    switch (status) {
    case SS_NO_ASPI: return 3002;
    case SS_MISMATCHED_COMPONENTS:
    case SS_BAD_INSTALL: return 3000;
    case SS_NO_ADAPTERS: return 3001;
    default: return 3003;
    }
}

}  // namespace

AspiLibrary& Aspi() {
    static AspiLibrary library;
    return library;
}

uint32_t SendAspiCommand(void* srb) {
    auto send = Aspi().sendCommand;
    return send ? send(srb) : SS_NO_ASPI;
}

void ShutdownAspi() {
    AspiLibrary& library = Aspi();
    if (library.module) ::dlclose(library.module);
    library.module = nullptr;
    library.getSupportInfo = nullptr;
    library.sendCommand = nullptr;
}

void test_seams::SetAspiModuleName(const std::string& name) { ModuleNameOverride() = name; }

bool StartASPIIntf(ResourceModule resourceModule, MessageCallback messageCallback) {
    AspiLibrary& library = Aspi();
    library.instance = resourceModule;
    ShutdownAspi();  // a second start replaces the first module
    std::string error;
    library.module = LoadAspiModule(error);
    if (!library.module) {
        if (messageCallback) messageCallback(3004, error.c_str());
        return false;
    }
    library.getSupportInfo =
        reinterpret_cast<GetSupportInfoFunction>(::dlsym(library.module, "GetASPI32SupportInfo"));
    library.sendCommand = reinterpret_cast<SendCommandFunction>(::dlsym(library.module, "SendASPI32Command"));
    // A module without the entry points is an installation that does not fit.
    const uint32_t info =
        (library.getSupportInfo && library.sendCommand) ? library.getSupportInfo() : uint32_t{SS_BAD_INSTALL} << 8;
    const unsigned status = (info >> 8) & 0xFF;
    if (status == SS_COMP) {
        library.adapterCount = static_cast<int>(info & 0xFF);
        return true;
    }
    std::string format = LoadResourceText(library.instance, static_cast<unsigned>(TextIdForStatus(status)));
    if (format.size() > kFormatTextChars) format.resize(kFormatTextChars);
    char text[kFormatTextChars + 32] = {};
    // The language module's texts take the status as their only argument.
    std::snprintf(text, sizeof text, format.c_str(), status);
    if (messageCallback) messageCallback(3005, text);
    ShutdownAspi();
    return false;
}

DeviceIntf* CreateASPIIntf() { return new (std::nothrow) ASPIIntf(); }

std::string AspiModuleVersion() {
    constexpr const char* kUnknown = "*** Unknown ***";
    void* module = Aspi().module;
    link_map* map = nullptr;
    if (!module || ::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return kUnknown;
    std::string name = map->l_name;
    // The file name only (after the last '/', where Windows has a backslash).
    if (const size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    auto* info = static_cast<const DravikVersionInfo*>(::dlsym(module, platform::kVersionInfoSymbol));
    if (!info || info->signature != platform::kVersionInfoSignature) return kUnknown;
    char version[64];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", info->productVersion[0], info->productVersion[1],
                  info->productVersion[2], info->productVersion[3]);
    return name + " - " + version;
}

}  // namespace dravik::device
