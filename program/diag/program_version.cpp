#include "program/diag/program_version.h"

#include <cstdio>

#include "platform/version_info.h"

namespace dravik::diag {

std::int32_t ProgramVersion(const DravikVersionInfo* info, std::string& text) {
    text.clear();
    if (!info || info->signature != platform::kVersionInfoSignature) return -1;
    const std::uint16_t* v = info->fileVersion;
    if (info->translation) {
        const std::string path = std::string("\\StringFileInfo\\") + info->translation + "\\ProductVersion";
        platform::QueryVersionValue(info, path, text);
    }
    if (text.empty()) {
        char formatted[32];
        std::snprintf(formatted, sizeof formatted, "%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
        text = formatted;
    }
    const std::uint32_t packed = std::uint32_t{v[0]} << 24 | std::uint32_t{v[1] & 0xFFu} << 16 |
                                 std::uint32_t{v[2] & 0xFFu} << 8 | (v[3] & 0xFFu);
    return static_cast<std::int32_t>(packed);
}

std::int32_t ProgramVersion(std::string& text) { return ProgramVersion(platform::MainProgramVersionInfo(), text); }

}  // namespace dravik::diag
