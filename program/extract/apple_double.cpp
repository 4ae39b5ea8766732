#include "program/extract/apple_double.h"

#include <algorithm>

namespace dravik::extract {

namespace {

constexpr std::uint32_t kMagic = 0x00051607;
constexpr std::uint32_t kVersion = 0x00020000;
constexpr std::uint32_t kResourceForkEntry = 2;
constexpr std::uint32_t kFinderInfoEntry = 9;
constexpr std::uint32_t kHeaderBytes = 26;  // magic, version, 16 filler bytes, entry count
constexpr std::uint32_t kEntryBytes = 12;
constexpr std::uint32_t kFinderInfoBytes = 32;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

std::string AppleDoubleName(const std::string& name) { return "._" + name; }

std::vector<std::uint8_t> AppleDoubleHeader(const scan::MacFileInfo& info) {
    std::vector<std::uint8_t> out;
    Put32(out, kMagic);
    Put32(out, kVersion);
    out.insert(out.end(), 16, 0);
    out.push_back(0);
    out.push_back(2);
    const std::uint32_t finderAt = kHeaderBytes + 2 * kEntryBytes;
    Put32(out, kFinderInfoEntry);
    Put32(out, finderAt);
    Put32(out, kFinderInfoBytes);
    Put32(out, kResourceForkEntry);
    Put32(out, finderAt + kFinderInfoBytes);
    Put32(out, info.resource.size);
    out.insert(out.end(), info.finderInfo.begin(), info.finderInfo.end());
    return out;
}

bool NeedsAppleDouble(const scan::MacFileInfo& info) {
    return info.resource.size != 0 ||
           std::any_of(info.finderInfo.begin(), info.finderInfo.end(), [](std::uint8_t b) { return b != 0; });
}

}  // namespace dravik::extract
