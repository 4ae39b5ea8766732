// The overlap pass: every extent of every file and directory of a track's
// tree is listed, the list sorted by start block, and the items whose
// extents occupy the same blocks are marked ItemOverlap (and logged). A
// damaged volume yields overlaps where its allocation went wrong; a file
// recovered from shared blocks is then not trusted blindly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "program/readers/udf/udf_reader.h"

namespace dravik::readers::udf {

constexpr unsigned kOverlapStatus = 242;     // track number
constexpr unsigned kWorkFileMessage = 131;   // file name, system error text
// Records kept in memory (about 4 MB); more go to a work file in TempPath.
constexpr std::size_t kMemoryExtentRecords = 4 * 1024 * 1024 / 16;

// One extent of an item: absolute blocks [start, start + count).
struct ExtentRecord {
    std::uint32_t start;
    std::uint32_t count;
    scan::FoundItem* item;
};

// The records of one pass, in the order they were added: in memory up to
// `memoryRecords`, beyond that in a work file made with mkstemp in
// `folder` (never a fixed name), deleted when the object goes.
class ExtentRecords {
public:
    ExtentRecords(std::string folder, std::size_t memoryRecords);
    ~ExtentRecords();
    ExtentRecords(const ExtentRecords&) = delete;
    ExtentRecords& operator=(const ExtentRecords&) = delete;

    // False when the work file could not be made or written (Error() says
    // why; FileName() names it once made).
    bool Add(const ExtentRecord& record);
    // Every record added, in order; false when the work file could not be
    // read back.
    bool Collect(std::vector<ExtentRecord>& out);
    bool InFile() const { return fd_ >= 0; }
    const std::string& FileName() const { return fileName_; }
    const std::string& Error() const { return error_; }
    int ErrorCode() const { return errorCode_; }

private:
    bool Spill();

    std::string folder_;
    std::size_t memoryRecords_;
    std::vector<ExtentRecord> memory_;
    std::string fileName_;
    std::string error_;
    int errorCode_ = 0;
    int fd_ = -1;
    std::size_t inFile_ = 0;
};

// The tag of a File Entry as the overlap pass checks it: descriptor
// version 1 or 2, byte 5 zero, CRC length at most a block, and (unless
// `checksums` is false) the tag checksum right.
bool CheckFeTag(const std::uint8_t* entry, bool checksums);

// Marks both items ItemOverlap and logs the shared extent; nothing when
// either has no start.
void MarkOverlap(scan::FoundItem* first, scan::FoundItem* second, const ExtentRecord& record);

// The walk over records sorted by start: each record is compared with the
// later ones that start before it ends (and no further). Records of the
// same item are not compared. Returns the pairs marked.
int MarkOverlaps(std::span<const ExtentRecord> sorted);

// The whole pass for `track`; the sorted table is attached to the track
// (extentTable, its count in readerWord). Extents are mapped through the
// volume map of `state`, each with its partition reference.
void CheckExtentOverlaps(UdfState& state, scan::TrackNode* track);

}  // namespace dravik::readers::udf
