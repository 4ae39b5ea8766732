#include "platform/scsi_sense.h"

#include <algorithm>
#include <cstring>

namespace dravik::platform {

namespace {
constexpr size_t kFixedLength = 18;
}

size_t NormalizeSense(const uint8_t* in, size_t inLength, uint8_t* out, size_t outCapacity) {
    if (!in || inLength < 1 || outCapacity == 0) return 0;
    const uint8_t code = in[0] & 0x7F;
    if (code == 0x70 || code == 0x71) {
        // The additional length says how much is real; never more than given.
        size_t length = inLength;
        if (inLength >= 8) length = std::min(inLength, size_t(in[7]) + 8);
        length = std::min(length, outCapacity);
        std::memcpy(out, in, length);
        return length;
    }
    if (code != 0x72 && code != 0x73) return 0;
    if (outCapacity < kFixedLength) return 0;
    uint8_t fixed[kFixedLength] = {};
    fixed[0] = code == 0x72 ? 0x70 : 0x71;
    fixed[7] = kFixedLength - 8;
    if (inLength > 1) fixed[2] = in[1] & 0x0F;
    if (inLength > 2) fixed[12] = in[2];
    if (inLength > 3) fixed[13] = in[3];
    const size_t total = inLength >= 8 ? std::min(inLength, size_t(in[7]) + 8) : inLength;
    // Walk the descriptors: 0x00 information, 0x01 command-specific,
    // 0x02 sense-key specific. Each is type, additional length, data.
    size_t at = 8;
    while (at + 2 <= total) {
        const uint8_t type = in[at];
        const size_t length = size_t(in[at + 1]) + 2;
        if (at + length > total) break;
        const uint8_t* d = in + at;
        if (type == 0x00 && length >= 12) {
            // Fixed format carries the low 32 bits of the information.
            if (d[2] & 0x80) fixed[0] |= 0x80;
            std::memcpy(fixed + 3, d + 8, 4);
        } else if (type == 0x01 && length >= 12) {
            std::memcpy(fixed + 8, d + 8, 4);
        } else if (type == 0x02 && length >= 7) {
            std::memcpy(fixed + 15, d + 4, 3);
        }
        at += length;
    }
    std::memcpy(out, fixed, kFixedLength);
    return kFixedLength;
}

}  // namespace dravik::platform
