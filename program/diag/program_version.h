// The version the about box and the debug log show: read from a program's
// version information (platform/version_info.h).
#pragma once

#include <cstdint>
#include <string>

struct DravikVersionInfo;

namespace dravik::diag {

// Puts the product version string of `info` into `text`, or, when that is
// missing or empty, its file version as "major.minor.build.revision".
// Returns the file version packed as major << 24 | minor << 16 | build << 8
// | revision (each below major cut to 8 bits), or -1 with empty text when
// `info` is null (a program without version information).
std::int32_t ProgramVersion(const DravikVersionInfo* info, std::string& text);
// The same for the running program.
std::int32_t ProgramVersion(std::string& text);

}  // namespace dravik::diag
