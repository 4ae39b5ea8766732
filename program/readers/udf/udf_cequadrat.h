// The compression CeQuadrat's packet-writing software applies to single
// extents of a file: a long allocation descriptor marks the extent and
// records its compressed length; the compressed bytes start with a 4-byte
// magic and are a list of commands (literals, back references, runs) that
// expand to exactly the extent's length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::readers::udf {

constexpr std::size_t kCeQuadratMagicBytes = 4;
// An extent larger than this is not expanded (the buffer it needs is
// allocated from a length the disc gives).
constexpr std::uint32_t kMaxCeQuadratExtent = 16 * 1024 * 1024;

// True when `data` (at least 4 bytes) begin with the magic.
bool HasCeQuadratMagic(const std::uint8_t* data, std::size_t bytes);

// Expands `compressed` (magic included) into `out`, which must come out at
// exactly `outBytes`. False, with a debug-log line, for a wrong magic, a
// back reference of distance 0 or before the output's start, a command
// that runs past the compressed data, or output that ends short.
bool ExpandCeQuadrat(const std::uint8_t* compressed, std::size_t compressedBytes, std::uint8_t* out,
                     std::size_t outBytes);

}  // namespace dravik::readers::udf
