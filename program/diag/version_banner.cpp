#include "program/diag/version_banner.h"

#include <dlfcn.h>

#include <cstdint>
#include <mutex>

#include "platform/version_info.h"
#include "program/diag/debug_log.h"

namespace dravik::diag {

namespace {
std::mutex& ToolkitLock() {
    static std::mutex lock;
    return lock;
}
std::string& ToolkitVersion() {
    static std::string text;
    return text;
}
}  // namespace

std::string ProgramVersionText() {
    const DravikVersionInfo* info = platform::MainProgramVersionInfo();
    if (!info || !info->translation) return {};
    std::string version;
    std::string path = std::string("\\StringFileInfo\\") + info->translation + "\\ProductVersion";
    if (!platform::QueryVersionValue(info, path, version)) return {};
    return version;
}

void SetWidgetToolkitVersion(std::string text) {
    std::lock_guard<std::mutex> hold(ToolkitLock());
    ToolkitVersion() = std::move(text);
}

void WriteVersionBanner() {
    std::string version = ProgramVersionText();
    std::string toolkit;
    {
        std::lock_guard<std::mutex> hold(ToolkitLock());
        toolkit = ToolkitVersion();
    }
    std::string entry = "Program Version: " + (version.empty() ? std::string("*** Error ***") : version);
    entry += "\r\n";
    entry += toolkit.empty() ? std::string("No widget toolkit is loaded") : "Widget toolkit version = " + toolkit;
    WriteLogEntry(entry);
}

unsigned long GetDllVersion(const char* name) {
    if (!name || !*name) return 0;
    void* module = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!module) return 0;
    unsigned long result = 0;
    using GetVersionFunction = int (*)(void*);
    auto getVersion = reinterpret_cast<GetVersionFunction>(::dlsym(module, "DllGetVersion"));
    if (getVersion) {
        // size, major, minor, build, platform
        std::uint32_t record[5] = {sizeof record, 0, 0, 0, 0};
        if (getVersion(record) == 0) result = static_cast<unsigned long>(record[1]) * 65536 + record[2];
    }
    ::dlclose(module);
    return result;
}

}  // namespace dravik::diag
