#include "hive_locations.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "version_info.h"

namespace dravik::platform {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool CanWriteFolder(const std::string& path) { return access(path.c_str(), W_OK | X_OK) == 0; }

std::string ParentOf(const std::string& path) {
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

}  // namespace

std::string UserSettingsFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = (xdg && xdg[0] == '/') ? std::string(xdg) : HomeFolder() + "/.config";
    return base + "/" + BuildCompanyName();
}

std::string ChooseMachineHive(const std::string& systemFolder, const std::string& userFolder) {
    std::string systemHive = systemFolder + "/machine.reg";
    if (Exists(systemHive)) return systemHive;
    if (IsFolder(systemFolder) ? CanWriteFolder(systemFolder) : CanWriteFolder(ParentOf(systemFolder)))
        return systemHive;
    return userFolder + "/machine.reg";
}

HiveLocations CurrentHiveLocations() {
    if (const char* dir = std::getenv(kConfigDirVariable); dir && *dir) {
        std::string folder = dir;
        return {folder + "/user.reg", folder + "/machine.reg"};
    }
    std::string userFolder = UserSettingsFolder();
    return {userFolder + "/user.reg", ChooseMachineHive(std::string("/etc/") + BuildCompanyName(), userFolder)};
}

}  // namespace dravik::platform
