// The table of file systems the scan reads. Each reader (ISO 9660, UDF,
// HFS) describes itself in one entry; the scan driver installs the table
// at the start of every scan and hands each data track to the ISO 9660
// entry, offers tracks to the entries that read a second file system, and
// runs the end-of-scan passes. A reader that passes a track on to another
// one (the ISO reader to UDF on packet-written and bridge discs, and to HFS
// when a track has no ISO descriptor) finds it here too, so no reader
// depends on another.
#pragma once

#include <cstdint>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace dravik::scan {

struct TrackNode;
struct FoundItem;

// One piece of a file's data, in order: blocks on the disc, zeros (space
// allocated but never written), or bytes kept in the file's entry.
struct FileDataRun {
    enum class Kind { kBlocks, kZeros, kBytes };
    Kind kind = Kind::kBlocks;
    std::int64_t start = 0;    // first absolute block of kBlocks (negative: nowhere on the disc)
    std::uint64_t length = 0;  // bytes
    std::vector<std::uint8_t> bytes;
};
// Reads one 2048-byte block; false when it could not be read.
using ReadOneBlock = std::function<bool(std::int64_t block, std::uint8_t* out)>;

// A file's data handed out 2048 bytes at a time by its reader, which maps
// and decodes (expands compressed files) as it goes.
class FileDataStream {
public:
    enum class Result { kData, kUnreadable, kEnded };
    virtual ~FileDataStream() = default;
    // Bytes the file holds.
    virtual std::uint64_t Size() const = 0;
    // The next 2048 bytes into `out`, of which `bytes` belong to the file.
    // kUnreadable: `out` holds zeros in place of them and `block` is the
    // block that failed (negative: it has no place on the disc); reading
    // can go on. kEnded: the file's data end before its size.
    virtual Result Next(std::uint8_t* out, std::size_t& bytes, std::int64_t& block) = 0;
};

enum class FileSystemKind { kIso9660, kUdf, kHfs };

struct FileSystemReader {
    FileSystemKind kind = FileSystemKind::kIso9660;
    const char* name = "";
    // Reads the track's volume of this kind into the catalogue; true when a
    // volume was read (the track then normally has a root item). `position`
    // is 0 when the track's own file system is asked for, and the entry's
    // place among the second file systems (from 1) when the track already
    // holds another one.
    bool (*readTrack)(TrackNode* track, int position) = nullptr;
    // Recognises a volume of this kind as another reader hands the track
    // over, and reads it; `block` is a 2048-byte scratch block of the
    // caller. True when the track got a root item (possibly an empty tree).
    bool (*probe)(TrackNode* track, std::uint8_t* block) = nullptr;
    // Looked for beside another file system on the same track.
    bool secondFileSystem = false;
    // After the tracks: reduces entries that several tracks of this kind
    // list for the same file (null: every track).
    void (*removeDuplicates)(TrackNode* track) = nullptr;
    // For copying a file out after the scan: the runs of `item`'s data
    // (`root` is its track's root item), read through `read`. False when
    // the file's entry cannot be read. Null: the file's start and size are
    // its data.
    bool (*fileData)(const FoundItem* root, const FoundItem* item, const ReadOneBlock& read,
                     std::vector<FileDataRun>& runs) = nullptr;
    // For copying a file out after the scan, block by block: its data as
    // the reader reads them (compressed files expanded). Null with the
    // reason in `error` when the file cannot be read. Preferred over
    // fileData when set.
    std::unique_ptr<FileDataStream> (*openFile)(const FoundItem* root, const FoundItem* item,
                                                const ReadOneBlock& read, std::string& error) = nullptr;
    // State kept across the tracks of one scan, back to zero when a scan
    // starts.
    void (*resetState)() = nullptr;
};

// The table the scan uses; it must outlive every scan (a static array).
void InstallFileSystems(std::span<const FileSystemReader> table);
std::span<const FileSystemReader> FileSystems();
// The entry of `kind`; null when the table has none.
const FileSystemReader* FindFileSystem(FileSystemKind kind);

}  // namespace dravik::scan
