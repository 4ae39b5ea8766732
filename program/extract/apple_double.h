// AppleDouble, the form in which macOS keeps a file's Finder information
// and resource fork on file systems that have no room for them: a file
// "._NAME" beside NAME holding a short header, the 32 bytes of Finder
// information and then the resource fork.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "program/scan/mac_file_info.h"

namespace dravik::extract {

// The companion file's name for a file written as `name`.
std::string AppleDoubleName(const std::string& name);

// Everything before the resource fork's bytes: the header with its two
// entries (Finder information, resource fork of `resourceSize` bytes) and
// the Finder information.
std::vector<std::uint8_t> AppleDoubleHeader(const scan::MacFileInfo& info);

// True when the file has anything worth a companion file: a resource fork
// or Finder information.
bool NeedsAppleDouble(const scan::MacFileInfo& info);

}  // namespace dravik::extract
