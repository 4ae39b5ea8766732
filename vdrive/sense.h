// Sense codes the virtual drive answers, and the fixed-format sense bytes
// that carry them.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/byte_order.h"

namespace dravik::vdrive {

struct Sense {
    uint8_t key = 0, asc = 0, ascq = 0;
    bool hasInformation = false;
    uint32_t information = 0;  // the failing block of a read
};

namespace sense {
inline constexpr Sense kNone{};
inline constexpr Sense NotReady(uint8_t ascq) { return Sense{0x02, 0x04, ascq}; }
inline constexpr Sense kBecomingReady{0x02, 0x04, 0x01};
inline constexpr Sense kNoMedium{0x02, 0x3A, 0x00};
inline constexpr Sense kNoMediumTrayOpen{0x02, 0x3A, 0x02};
inline constexpr Sense kInvalidOpcode{0x05, 0x20, 0x00};
inline constexpr Sense kLbaOutOfRange{0x05, 0x21, 0x00};
inline constexpr Sense kInvalidFieldInCdb{0x05, 0x24, 0x00};
inline constexpr Sense kInvalidFieldInParameterList{0x05, 0x26, 0x00};
inline constexpr Sense kParameterListLengthError{0x05, 0x1A, 0x00};
inline constexpr Sense kSavingNotSupported{0x05, 0x39, 0x00};
inline constexpr Sense kIllegalModeForTrack{0x05, 0x64, 0x00};
inline constexpr Sense kMediumChanged{0x06, 0x28, 0x00};
inline constexpr Sense kUnrecoveredReadError{0x03, 0x11, 0x00};
inline constexpr Sense kMediumLoadFailed{0x04, 0x53, 0x00};
inline constexpr Sense kMediumRemovalPrevented{0x05, 0x53, 0x02};
}  // namespace sense

inline constexpr size_t kFixedSenseLength = 18;

// Writes the 18 bytes of fixed-format sense for `s`.
inline void WriteFixedSense(const Sense& s, uint8_t* out) {
    std::memset(out, 0, kFixedSenseLength);
    out[0] = uint8_t(0x70 | (s.hasInformation ? 0x80 : 0));
    out[2] = s.key & 0x0F;
    bytes::PutBe32(out + 3, s.information);
    out[7] = kFixedSenseLength - 8;
    out[12] = s.asc;
    out[13] = s.ascq;
}

}  // namespace dravik::vdrive
