// The Virtual Allocation Table of a write-once volume, read from its File
// Entry: the table maps each virtual block to a partition block. Two forms
// exist: the older one (file type 0) keeps its entries first and ends with
// the entity identifier "*UDF Virtual Alloc Tbl" and the previous VAT's
// location; the newer one (file type 248) starts with a header that holds
// the previous VAT's location, and its entries follow the header.
//
// Both the scan and the extraction of files load the table through here;
// every size is taken from the disc, so each is checked before it is used.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "program/readers/udf/udf_volume_map.h"

namespace dravik::readers::udf {

// The trailing identifier and previous-VAT pointer of the older form.
constexpr std::uint32_t kVatTrailerBytes = 36;
// The fixed part of the newer form's header.
constexpr std::uint32_t kVatHeaderBytes = 152;
constexpr std::size_t kVatHeaderPrevious = 132;
// Larger tables do not belong to a CD (four bytes per block).
constexpr std::uint32_t kMaxVatBytes = 8 * 1024 * 1024;
// The previous pointer of the first VAT a volume ever got.
constexpr std::uint32_t kNoPreviousVat = 0xFFFFFFFF;

struct VatTable {
    std::vector<std::uint32_t> entries;
    std::uint32_t previous = kNoPreviousVat;  // as recorded (partition-relative or absolute)
    bool headerForm = false;                  // file type 248
};

enum class VatLoad {
    kLoaded,
    kRefused,          // sizes or descriptors that no VAT has
    kExtended,         // extended allocation descriptors, which VATs never use
    kFirstReadFailed,  // its first data block could not be read
};

// What loading a table wants to tell the log.
struct VatLoadLog {
    std::function<void(std::uint32_t length, std::uint32_t position)> unrecordedExtent;
    std::function<void(std::int64_t block)> readFailed;
    std::function<void()> blocksAreSectors;
};

// Loads the table whose File Entry (a whole block, tag already checked) is
// `fileEntry`; extents lie at `partitionStart` plus their position.
// Unreadable blocks after the first are filled with 0xFF.
VatLoad LoadVatTable(const std::uint8_t* fileEntry, std::int64_t partitionStart, const ReadBlockFunction& read,
                     VatTable& table, const VatLoadLog& log = {});

// Whether a File Entry of file type 0 is an older-form VAT: at least 18 of
// the 22 identifier characters found where its data end (or, failing that,
// ending at the last 'l' of the block that holds the end).
bool LooksLikeVat(const std::uint8_t* fileEntry, std::int64_t partitionStart, const ReadBlockFunction& read);

// Whether a block holds a VAT's File Entry of either form (its tag is not
// checked here).
bool IsVatEntry(const std::uint8_t* fileEntry, std::int64_t partitionStart, const ReadBlockFunction& read);

}  // namespace dravik::readers::udf
