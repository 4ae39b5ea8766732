// The hex lines of the debug log's dumps: 16 bytes a line, 72 characters,
// with runs of repeated lines folded into one omission line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dravik::diag {

constexpr char kOmittedLine[] = "---------- Omitted lines same as above ----------";

// The lines for `length` bytes of `data` (no line ends). The caller limits
// `length`; the offsets shown start at 0.
std::vector<std::string> FormatHexDumpLines(const unsigned char* data, std::size_t length);

}  // namespace dravik::diag
