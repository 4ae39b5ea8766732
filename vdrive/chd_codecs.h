// The decompressors a CD image in MAME's compressed hunk format uses,
// taken from the system's libraries at run time (libz.so.1, liblzma.so.5,
// libFLAC.so.12) rather than linked: a system without one of them still
// opens every other image, and the image that needs it is refused with the
// library's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravik::vdrive::chd {

// Each call unpacks exactly `outLength` bytes or fails; `why` then says
// which library is missing or that the data is damaged.

// A raw deflate stream (no zlib header).
bool Inflate(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength, std::string& why);

// A raw LZMA stream without end marker, with the literal and position
// settings the format fixes (lc 3, lp 0, pb 2).
bool UnpackLzma(const uint8_t* in, size_t inLength, uint8_t* out, size_t outLength, std::string& why);

// FLAC frames without a stream header, of 16-bit stereo samples in
// `blockSize`-sample blocks, written out big-endian. `consumed` receives
// the bytes of `in` the frames took (the rest follows them).
bool UnpackFlac(const uint8_t* in, size_t inLength, uint32_t blockSize, uint8_t* out, size_t outLength,
                size_t& consumed, std::string& why);

}  // namespace dravik::vdrive::chd
