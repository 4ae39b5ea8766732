// Names and dates as UDF records them, turned into the catalogue's UTF-8
// text and item dates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "program/scan/item_date.h"

namespace dravik::readers::udf {

// Bytes a UDF timestamp occupies.
constexpr std::size_t kTimestampBytes = 12;

// An OSTA compressed Unicode field of `length` bytes (its first byte the
// compression id) as UTF-8: id 8 one byte per character (Latin-1), id 16
// big-endian UCS-2, stopping at a 0 character; at most length - 1 bytes
// after the id are read. Any other id gives an empty name.
std::string UdfName(std::size_t length, const std::uint8_t* field);

// A d-string field of `size` bytes: its last byte holds the length of the
// recorded part (id byte included), which is never taken beyond the field.
std::string UdfDString(const std::uint8_t* field, std::size_t size);

// The 12-byte timestamp at `stamp` (year, month, day, hour, minute, second;
// the time zone and the fractions are dropped).
scan::ItemDate UdfDate(const std::uint8_t* stamp);

}  // namespace dravik::readers::udf
