// Mac Roman, the character set of HFS names, to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravik::readers::hfs {

// Bytes below 0x80 stay as they are; the upper half maps through the
// Mac Roman table (0xDB as the euro sign, as later systems read it).
std::string MacRomanToUtf8(const std::uint8_t* bytes, std::size_t length);

}  // namespace dravik::readers::hfs
