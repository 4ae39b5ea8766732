#include "program/readers/udf/udf_cequadrat.h"

#include <algorithm>
#include <cstring>

#include "program/diag/debug_log.h"
#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

namespace {

constexpr std::uint8_t kMagic[kCeQuadratMagicBytes] = {0x50, 0x48, 0x01, 0x00};

// The top two bits of a command byte say what it does; the low six bits
// are its count.
constexpr std::uint8_t kLiteral = 0;
constexpr std::uint8_t kNearReference = 1;  // distance in one byte
constexpr std::uint8_t kFarReference = 2;   // distance in two bytes, little-endian
constexpr std::uint8_t kRun = 3;

bool LengthMismatch() {
    if (Verbose()) diag::DebugPrint("CeQuadrat compression length mismatch.");
    return false;
}

}  // namespace

bool HasCeQuadratMagic(const std::uint8_t* data, std::size_t bytes) {
    return bytes >= kCeQuadratMagicBytes && std::memcmp(data, kMagic, kCeQuadratMagicBytes) == 0;
}

bool ExpandCeQuadrat(const std::uint8_t* compressed, std::size_t compressedBytes, std::uint8_t* out,
                     std::size_t outBytes) {
    if (!HasCeQuadratMagic(compressed, compressedBytes)) {
        if (Verbose()) diag::DebugPrint("CeQuadrat compression id mismatch.");
        return false;
    }
    std::size_t in = kCeQuadratMagicBytes;
    std::size_t done = 0;
    while (done < outBytes) {
        if (in >= compressedBytes) return LengthMismatch();
        const std::uint8_t command = compressed[in];
        const std::size_t count = std::min<std::size_t>(command & 0x3F, outBytes - done);
        const std::uint8_t kind = command >> 6;
        if (kind == kLiteral) {
            if (compressedBytes - in - 1 < count) return LengthMismatch();
            std::memcpy(out + done, compressed + in + 1, count);
            in += 1 + count;
        } else if (kind == kRun) {
            if (compressedBytes - in < 2) return LengthMismatch();
            std::memset(out + done, compressed[in + 1], count);
            in += 2;
        } else {
            const std::size_t commandBytes = kind == kNearReference ? 2 : 3;
            if (compressedBytes - in < commandBytes) return LengthMismatch();
            const std::size_t distance = kind == kNearReference
                                             ? compressed[in + 1]
                                             : std::size_t{compressed[in + 1]} | std::size_t{compressed[in + 2]} << 8;
            // A distance of 0 would copy bytes not yet written.
            if (distance == 0 || distance > done) return LengthMismatch();
            // Byte by byte: a reference closer than its count repeats what it
            // has just copied.
            for (std::size_t i = 0; i < count; ++i) out[done + i] = out[done + i - distance];
            in += commandBytes;
        }
        done += count;
    }
    return true;
}

}  // namespace dravik::readers::udf
