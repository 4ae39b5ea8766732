#include "program/app/recent_images.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/drives/drive_table.h"
#include "program/app/settings_store.h"
#include "program/diag/debug_log.h"

namespace dravik::app {

namespace {

std::string ValueName(std::size_t index) { return kRecentImageValuePrefix + std::to_string(index + 1); }

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::vector<std::string> WithImageFirst(std::vector<std::string> list, const std::string& path, std::size_t limit) {
    list.erase(std::remove_if(list.begin(), list.end(), [&](const std::string& entry) { return entry.empty() || entry == path; }),
               list.end());
    if (!path.empty()) list.insert(list.begin(), path);
    if (list.size() > limit) list.resize(limit);
    return list;
}

std::vector<std::string> RecentImages() {
    std::vector<std::string> images;
    for (std::size_t index = 0; index < kMaxRecentImages; ++index) {
        std::string path = ReadProgramString(ValueName(index).c_str(), "");
        if (!path.empty()) images.push_back(std::move(path));
    }
    return images;
}

void StoreRecentImages(const std::vector<std::string>& images) {
    for (std::size_t index = 0; index < kMaxRecentImages; ++index)
        WriteProgramString(ValueName(index).c_str(), index < images.size() ? images[index] : std::string());
}

void RememberImage(const std::string& path) {
    StoreRecentImages(WithImageFirst(RecentImages(), path));
    WriteProgramString(kLastImageValue, path);
}

void ServeRecentImages() {
    const std::string lastImage = ReadProgramString(kLastImageValue, "");
    for (const std::string& path : RecentImages()) {
        // An image moved or deleted since stays in the list for the menu
        // to say so; it gets no drive.
        if (!IsFile(path)) continue;
        char letter = 0;
        std::string error;
        if (!platform::DriveTable::AddProcessImage(path, letter, error)) {
            if (diag::DebugMode) diag::DebugPrint("Recent image %s is not served: %s", path.c_str(), error.c_str());
            continue;
        }
        if (path == lastImage) WriteProgramString(kLastDeviceValue, std::string(1, letter) + ":");
    }
}

}  // namespace dravik::app
