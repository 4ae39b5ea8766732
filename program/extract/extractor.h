// Copies found files of ISO 9660, Joliet, High Sierra, UDF and HFS tracks
// from the catalogue into a folder: all of them, or those the user names by
// their paths, with their directories. Every extent of a multi-extent file
// is copied in order; a UDF file's data come from its entry through the UDF
// reader's entry in the scan's table of file systems (extents allocated but
// never written become zeros, data kept in the entry are copied from it,
// compressed files are expanded); an
// HFS file's data fork is copied through the sectors the reader recorded,
// and on request its resource fork and Finder information go beside it as an
// AppleDouble file "._NAME". A block that cannot be read is written as zeros and the
// file reported as damaged with the unreadable blocks; a file marked
// missing is reported and not written. Files are written under a
// temporary name and renamed when complete; existing files are kept unless
// overwriting is asked for. Each track goes into its own folder, named
// after its root item ("SAMPLE (Session 1)").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "program/extract/block_source.h"
#include "program/scan/found_item.h"

namespace dravik::extract {

// Blocks asked of the drive in one read; a failed read is asked again
// block by block.
constexpr int kBlocksPerRead = 16;

struct ExtractOptions {
    std::string targetFolder;
    bool overwrite = false;
    bool resourceForks = false;      // HFS files: also "._NAME" with the resource fork
    std::vector<std::string> paths;  // empty (and no `items`): every file
    // Items chosen in a view: a file, or a directory or track root with
    // everything below it. Chosen items and `paths` add up.
    std::unordered_set<const scan::FoundItem*> items;
};

enum class FileOutcome {
    kWritten,      // written whole
    kDamaged,      // written, unreadable blocks as zeros
    kMissing,      // the catalogue marks its data missing; not written
    kKept,         // a file of that name was there and was kept
    kFailed,       // could not be written (see `error`); nothing left under its name
    kUnsupported,  // not on a track of a file system the extractor copies from
    kSkipped,      // the listener's `decide` said not to copy it
};

// What the listener's `decide` says of a file about to be written.
enum class FileDecision {
    kWrite,      // write it; an existing file is kept unless the options say overwrite
    kOverwrite,  // write it, replacing a file of that name
    kSkip,       // do not write it (reported as kSkipped)
    kStop,       // stop the whole extraction here (the summary says cancelled)
};

struct BlockRange {
    std::int32_t first;
    std::int32_t last;  // inclusive
};

struct FileReport {
    FileOutcome outcome;
    bool directory = false;
    std::string discPath;    // track folder + "/" + the path as the tree prints it
    std::string outputPath;  // relative to the target folder; empty when nothing was made
    std::vector<BlockRange> unreadable;
    std::string error;
};

struct RenameReport {
    std::string discPath;
    std::string outputPath;
};

struct ExtractSummary {
    std::vector<FileReport> files;  // files, and directories that could not be made or are missing
    std::vector<RenameReport> renamed;
    std::vector<std::string> notFound;  // requested paths that name nothing
    std::string targetError;            // the target folder could not be opened
    bool cancelled = false;

    int Count(FileOutcome outcome) const;
    // True when every requested file was written whole.
    bool AllWhole() const;
};

// Called once per file or problem as extraction goes on.
struct ExtractListener {
    std::function<void(const FileReport&)> onFile;
    std::function<void(const RenameReport&)> onRename;
    // Before each file is written: its disc path, and whether a file of
    // its output name exists already. Unset: every file is written.
    std::function<FileDecision(const std::string& discPath, bool exists)> decide;
    // A file's copying begins: its disc path and the bytes it will take.
    std::function<void(const std::string& discPath, std::uint64_t bytes)> onStart;
    // Bytes just written to the file being copied.
    std::function<void(std::uint64_t bytes)> onBytes;
};

// `roots` are the tracks' root items, in track order. The caller keeps
// the catalogue still (the scan has ended) while this runs.
ExtractSummary ExtractFiles(const std::vector<const scan::FoundItem*>& roots, BlockSource& source,
                            const ExtractOptions& options, const ExtractListener& listener = {});

// Text of a list of ranges: "120-121, 140".
std::string BlockRangesText(const std::vector<BlockRange>& ranges);

}  // namespace dravik::extract
