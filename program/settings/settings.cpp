#include "program/settings/settings.h"

#include <cstdlib>

namespace dravik::settings {

Settings ProgramSettings;

std::string Settings::DefaultTempPath() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp";
    if (path.size() > kMaxTempPath - 1) path.resize(kMaxTempPath - 1);
    if (path.back() != '/') path += '/';
    return path;
}

void ResetSettings() { ProgramSettings = Settings{}; }

}  // namespace dravik::settings
