// Names read from ISO 9660, Joliet and High Sierra volumes, turned into the
// UTF-8 text the catalogue keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dravik::readers::iso {

// Identifier bytes as recorded: kept when they already are UTF-8 (Rock
// Ridge names written on Linux), otherwise read as Latin-1.
std::string IsoBytesToUtf8(const std::uint8_t* bytes, std::size_t length);

// UCS-2 big-endian characters (Joliet) as UTF-8. Surrogate pairs are
// joined; a character that has no text (a lone surrogate) becomes '?' and
// `failed` is set. An odd last byte is dropped.
std::string Ucs2BeToUtf8(const std::uint8_t* bytes, std::size_t length, bool& failed);

// A volume identifier without its trailing blanks (and anything from the
// first NUL on).
std::string TrimVolumeIdentifier(std::string text);

// The Rock Ridge name of a directory record of `recordLength` bytes (all
// inside the caller's buffer), from its own System Use area only (no skip
// bytes, no continuation areas): the first "NM" entry and the entries that
// continue it. The walk stops at an entry whose version is not 1, at an
// entry length below 4 or past the record, and within 4 bytes of the
// record's end. Nothing when there is no usable "NM" entry or its name is
// empty.
std::optional<std::string> RockRidgeName(const std::uint8_t* record, std::size_t recordLength);

}  // namespace dravik::readers::iso
