#include "program/extract/extractor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/atomic_file.h"
#include "program/extract/apple_double.h"
#include "program/extract/item_paths.h"
#include "program/extract/output_folder.h"
#include "program/extract/safe_names.h"
#include "program/scan/file_systems.h"
#include "program/scan/mac_file_info.h"
#include "program/scan/posix_file_info.h"
#include "program/scan/track_list.h"

namespace dravik::extract {

namespace {

// Deeper catalogue trees are not followed (no reader builds them).
constexpr int kMaxDepth = 256;
constexpr std::int64_t kLastBlock = INT32_MAX;
constexpr std::uint32_t kIsoFamily = scan::TrackIso | scan::TrackJoliet | scan::TrackHighSierra;
// The tracks whose files the extractor copies: the ISO 9660 family, UDF
// (its reader works out each file's data) and HFS.
constexpr std::uint32_t kCopiedTracks = kIsoFamily | scan::TrackUdf | scan::TrackHfs;
// Blocks in a row a file's reader may hand out without a byte of the file.
constexpr int kMaxEmptyBlocks = 4096;
constexpr std::int64_t kSectorsPerBlock = kBlockBytes / scan::kMacSectorBytes;

bool IsUdfTrack(const scan::FoundItem* root) { return root->track && (root->track->flags & scan::TrackUdf); }
bool IsCopiedTrack(const scan::FoundItem* root) { return root->track && (root->track->flags & kCopiedTracks); }

// An output folder, opened (and created) only when something goes in it.
struct OutputDir {
    OutputDir* parent = nullptr;
    const scan::FoundItem* item = nullptr;
    std::string discPath;
    std::string outputPath;
    FolderHandle handle;
    FolderNames names;
    bool tried = false;
    bool created = false;
    int error = 0;
    std::string safeName;
};

void AddUnreadable(std::vector<BlockRange>& ranges, std::int64_t block) {
    // Blocks past the last address are all told as the last one.
    const auto b = static_cast<std::int32_t>(std::min(block, kLastBlock));
    if (!ranges.empty() && (std::int64_t{ranges.back().last} + 1 == b || ranges.back().last == b)) {
        ranges.back().last = b;
        return;
    }
    ranges.push_back({b, b});
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

class Extraction {
public:
    Extraction(BlockSource& source, const ExtractOptions& options, const ExtractListener& listener,
               ExtractSummary& summary)
        : source_(source), options_(options), listener_(listener), summary_(summary),
          matched_(options.paths.size(), false), buffer_(kBlocksPerRead * std::size_t{kBlockBytes}) {}

    void Run(const std::vector<const scan::FoundItem*>& roots) {
        OutputDir target;
        target.tried = true;
        target.error = FolderHandle::OpenTarget(options_.targetFolder, target.handle);
        if (target.error) {
            summary_.targetError = options_.targetFolder + ": " + platform::ErrorText(target.error);
            return;
        }
        for (const scan::FoundItem* root : roots) {
            if (!root || summary_.cancelled) continue;
            OutputDir trackDir;
            trackDir.parent = &target;
            trackDir.item = root;
            trackDir.discPath = TrackFolderText(root);
            const bool whole = (options_.paths.empty() && options_.items.empty()) || Selects(root, "") ||
                               options_.items.count(root) != 0;
            // Tracks without a file system (audio, the lead-out) have
            // placeholder roots and get no folder.
            if (whole && IsCopiedTrack(root)) Open(trackDir);
            Walk(root, root->firstChild, trackDir, whole, 0);
            FinishFolder(trackDir);
        }
        for (std::size_t i = 0; i < matched_.size(); ++i)
            if (!matched_[i]) summary_.notFound.push_back(options_.paths[i]);
    }

private:
    bool Selects(const scan::FoundItem* root, const std::string& path) {
        bool any = false;
        for (std::size_t i = 0; i < options_.paths.size(); ++i) {
            if (PathSelects(options_.paths[i], root, path)) {
                matched_[i] = true;
                any = true;
            }
        }
        return any;
    }

    void Walk(const scan::FoundItem* root, const scan::FoundItem* first, OutputDir& dir, bool selectedAbove,
              int depth) {
        if (depth >= kMaxDepth) return;
        for (const scan::FoundItem* item = first; item && !summary_.cancelled; item = item->next) {
            if (scan::IsHiddenEntry(item)) continue;
            const std::string path = ItemPathText(item);
            const bool selected = selectedAbove || Selects(root, path) || options_.items.count(item) != 0;
            const std::string discPath = JoinPath(dir.discPath.empty() ? TrackFolderText(root) : dir.discPath,
                                                  item->Name());
            if (item->flags & scan::ItemDirectory) {
                if (selected && ((item->flags & scan::ItemMissing) || item->start < 0)) {
                    Report({FileOutcome::kMissing, true, discPath, {}, {}, {}});
                    continue;
                }
                OutputDir child;
                child.parent = &dir;
                child.item = item;
                child.discPath = discPath;
                if (selected) Open(child);
                Walk(root, item->firstChild, child, selected, depth + 1);
                FinishFolder(child);
            } else if (selected) {
                ExtractFile(root, item, discPath, dir);
            }
        }
    }

    // Opens the folder, and its parents first; the first failure is
    // reported once for the folder.
    int Open(OutputDir& dir) {
        if (dir.tried) return dir.error;
        dir.tried = true;
        if (const int error = Open(*dir.parent)) {
            dir.error = error;
            return error;
        }
        const SafeName safe = MakeSafeName(dir.parent->item ? std::string_view(dir.item->Name())
                                                            : std::string_view(dir.discPath));
        bool renamed = false;
        dir.safeName = dir.parent->names.Claim(safe.name, renamed);
        dir.outputPath = JoinPath(dir.parent->outputPath, dir.safeName);
        if (safe.rewritten || renamed) Renamed({dir.discPath, dir.outputPath});
        dir.error = dir.parent->handle.OpenChild(dir.safeName, dir.handle, dir.created);
        if (dir.error)
            Report({FileOutcome::kFailed, true, dir.discPath, dir.outputPath, {}, platform::ErrorText(dir.error)});
        return dir.error;
    }

    // A folder made here takes its item's date once its contents are in.
    void FinishFolder(OutputDir& dir) {
        if (!dir.created || dir.error || !dir.item) return;
        if (const std::optional<std::time_t> when = ItemTime(dir.item->date))
            dir.parent->handle.SetTimes(dir.safeName, *when);
    }

    void ExtractFile(const scan::FoundItem* root, const scan::FoundItem* item, const std::string& discPath,
                     OutputDir& dir) {
        FileReport report{FileOutcome::kFailed, false, discPath, {}, {}, {}};
        const bool udf = IsUdfTrack(root);
        const scan::FileSystemReader* udfReader = udf ? scan::FindFileSystem(scan::FileSystemKind::kUdf) : nullptr;
        const scan::MacFileInfo* mac = scan::ItemMacFileInfo(item);
        const bool extentsKnown = udf   ? udfReader && (udfReader->openFile || udfReader->fileData)
                                  : mac ? true
                                        : !(item->flags & scan::ItemFragmented) || scan::ItemExtentList(item);
        if (!IsCopiedTrack(root) || !extentsKnown) {
            report.outcome = FileOutcome::kUnsupported;
            report.error = "files of this file system cannot be extracted yet";
            return Report(report);
        }
        // A Rock Ridge symbolic link becomes a link with the target as
        // written; it has no data of its own.
        const scan::PosixFileInfo* posix = udf || mac ? nullptr : scan::ItemPosixFileInfo(item);
        if (posix && posix->symlink) return ExtractLink(item, *posix, discPath, dir, report);
        // An HFS file's place is its recorded sectors; an empty data fork
        // is an empty file, not a missing one.
        const bool missing = mac ? (item->flags & scan::ItemMissing) != 0
                                 : ((item->flags & scan::ItemMissing) || item->start < 0);
        if (missing) {
            report.outcome = FileOutcome::kMissing;
            return Report(report);
        }
        // A UDF file is read through its reader, which expands compressed
        // files as it goes; other files are runs of blocks.
        std::unique_ptr<scan::FileDataStream> stream;
        std::vector<scan::FileDataRun> runs;
        if (udf && udfReader->openFile) {
            stream = udfReader->openFile(root, item, ReadOne(), report.error);
            if (!stream) return Report(report);
        } else if (posix && posix->zisofs) {
            // zisofs files are expanded by the ISO reader.
            const scan::FileSystemReader* iso = scan::FindFileSystem(scan::FileSystemKind::kIso9660);
            if (!iso || !iso->openFile) {
                report.error = "compressed files of this file system cannot be extracted";
                return Report(report);
            }
            stream = iso->openFile(root, item, ReadOne(), report.error);
            if (!stream) return Report(report);
        } else if (!mac && !DataRuns(root, item, runs)) {
            report.error = "its file entry could not be read";
            return Report(report);
        }
        if (const int error = Open(dir)) {
            report.error = "its folder could not be made: " + platform::ErrorText(error);
            return Report(report);
        }
        const SafeName safe = MakeSafeName(item->Name());
        bool renamed = false;
        const std::string name = dir.names.Claim(safe.name, renamed);
        report.outputPath = JoinPath(dir.outputPath, name);
        if (safe.rewritten || renamed) Renamed({discPath, report.outputPath});
        const bool written = WriteFile(dir, name, item, report, [&](PartFile& part, std::vector<BlockRange>& unreadable) {
            if (stream) return CopyStream(*stream, part, unreadable);
            return mac ? CopySectors(mac->data, part, unreadable) : CopyData(runs, part, unreadable);
        });
        if (written && mac && options_.resourceForks && NeedsAppleDouble(*mac)) {
            bool doubleRenamed = false;
            const std::string doubleName = dir.names.Claim(AppleDoubleName(name), doubleRenamed);
            FileReport forks{FileOutcome::kFailed, false, JoinPath(DiscFolder(discPath), AppleDoubleName(item->Name())),
                             JoinPath(dir.outputPath, doubleName), {}, {}};
            WriteFile(dir, doubleName, item, forks, [&](PartFile& part, std::vector<BlockRange>& unreadable) {
                const std::vector<std::uint8_t> header = AppleDoubleHeader(*mac);
                if (const int error = Put(part, header.data(), header.size())) return error;
                return CopySectors(mac->resource, part, unreadable);
            });
        }
    }

    void ExtractLink(const scan::FoundItem* item, const scan::PosixFileInfo& posix, const std::string& discPath,
                     OutputDir& dir, FileReport& report) {
        if (const int error = Open(dir)) {
            report.error = "its folder could not be made: " + platform::ErrorText(error);
            return Report(report);
        }
        const SafeName safe = MakeSafeName(item->Name());
        bool renamed = false;
        const std::string name = dir.names.Claim(safe.name, renamed);
        report.outputPath = JoinPath(dir.outputPath, name);
        if (safe.rewritten || renamed) Renamed({discPath, report.outputPath});
        bool overwrite = options_.overwrite;
        if (listener_.decide) {
            switch (listener_.decide(discPath, dir.handle.Has(name))) {
                case FileDecision::kStop: summary_.cancelled = true; return;
                case FileDecision::kSkip: report.outcome = FileOutcome::kSkipped; return Report(report);
                case FileDecision::kOverwrite: overwrite = true; break;
                case FileDecision::kWrite: break;
            }
        }
        const int error = dir.handle.MakeLink(name, posix.linkTarget, overwrite);
        if (error == EEXIST) {
            report.outcome = FileOutcome::kKept;
        } else if (error != 0) {
            report.error = platform::ErrorText(error);
        } else {
            report.outcome = FileOutcome::kWritten;
            if (const std::optional<std::time_t> when = ItemTime(item->date)) dir.handle.SetTimes(name, *when);
        }
        Report(report);
    }

    static std::string DiscFolder(const std::string& discPath) {
        const std::size_t slash = discPath.rfind('/');
        return slash == std::string::npos ? std::string() : discPath.substr(0, slash);
    }

    // Writes one output file through `copy` and reports it; true when the
    // file was written (whole or damaged).
    template <typename Copy>
    bool WriteFile(OutputDir& dir, const std::string& name, const scan::FoundItem* item, FileReport& report,
                   Copy&& copy) {
        bool overwrite = options_.overwrite;
        const bool exists = dir.handle.Has(name);
        if (listener_.decide) {
            switch (listener_.decide(report.discPath, exists)) {
                case FileDecision::kStop:
                    summary_.cancelled = true;
                    return false;
                case FileDecision::kSkip:
                    report.outcome = FileOutcome::kSkipped;
                    Report(report);
                    return false;
                case FileDecision::kOverwrite: overwrite = true; break;
                case FileDecision::kWrite: break;
            }
        }
        if (!overwrite && exists) {
            report.outcome = FileOutcome::kKept;
            Report(report);
            return false;
        }
        if (listener_.onStart) listener_.onStart(report.discPath, item->size);
        PartFile part;
        if (const int error = part.Create(dir.handle)) {
            report.error = platform::ErrorText(error);
            Report(report);
            return false;
        }
        if (const int error = copy(part, report.unreadable)) {
            part.Discard();
            if (summary_.cancelled) return false;
            report.error = platform::ErrorText(error);
            Report(report);
            return false;
        }
        if (const int error = part.Commit(name, overwrite, ItemTime(item->date))) {
            report.outcome = error == EEXIST ? FileOutcome::kKept : FileOutcome::kFailed;
            if (error != EEXIST) report.error = platform::ErrorText(error);
            Report(report);
            return false;
        }
        report.outcome = report.unreadable.empty() ? FileOutcome::kWritten : FileOutcome::kDamaged;
        Report(report);
        return true;
    }

    // Writes `fork.size` bytes from the fork's runs of 512-byte sectors,
    // reading the 2048-byte blocks that hold them.
    int CopySectors(const scan::MacFork& fork, PartFile& part, std::vector<BlockRange>& unreadable) {
        std::uint64_t remaining = fork.size;
        for (const scan::SectorRun& run : fork.runs) {
            std::int64_t sector = run.firstSector;
            const std::int64_t end = run.firstSector + run.sectors;
            while (remaining > 0 && sector < end) {
                if (source_.Aborted()) {
                    summary_.cancelled = true;
                    return ECANCELED;
                }
                const std::int64_t block = sector / kSectorsPerBlock;
                const std::int64_t blocks = (end - 1) / kSectorsPerBlock - block + 1;
                const int count = static_cast<int>(std::min<std::int64_t>(kBlocksPerRead, blocks));
                ReadBlocks(block, count, unreadable);
                const std::size_t offset = static_cast<std::size_t>(sector % kSectorsPerBlock) * scan::kMacSectorBytes;
                const std::uint64_t inRun = std::uint64_t(end - sector) * scan::kMacSectorBytes;
                const std::uint64_t inBuffer = std::uint64_t(count) * kBlockBytes - offset;
                const std::uint64_t span = std::min(inRun, inBuffer);
                const std::uint64_t bytes = std::min(span, remaining);
                if (const int error = Put(part, buffer_.data() + offset, static_cast<std::size_t>(bytes))) return error;
                remaining -= bytes;
                sector += static_cast<std::int64_t>(span / scan::kMacSectorBytes);
            }
        }
        // Runs that end before the fork does were marked missing by the
        // reader; what is there is written, the rest is not invented.
        return 0;
    }

    // The file's data: its extents as the catalogue lists them (ISO), or as
    // its file system's reader works them out from its entry (UDF).
    bool DataRuns(const scan::FoundItem* root, const scan::FoundItem* item, std::vector<scan::FileDataRun>& runs) {
        runs.clear();
        const scan::FileSystemReader* reader =
            IsUdfTrack(root) ? scan::FindFileSystem(scan::FileSystemKind::kUdf) : nullptr;
        if (reader && reader->fileData) return reader->fileData(root, item, ReadOne(), runs);
        if (IsUdfTrack(root)) return false;
        if (const scan::ExtentPair* list = scan::ItemExtentList(item)) {
            for (std::uint32_t i = 0; i < item->count; ++i) runs.push_back({scan::FileDataRun::Kind::kBlocks, list[i].start, list[i].length, {}});
        } else {
            runs.push_back({scan::FileDataRun::Kind::kBlocks, item->start, item->size, {}});
        }
        return true;
    }

    scan::ReadOneBlock ReadOne() {
        return [this](std::int64_t block, std::uint8_t* out) {
            return block >= 0 && block <= kLastBlock && source_.Read(static_cast<std::int32_t>(block), 1, out);
        };
    }

    // Writes the file's data as its reader hands them out; blocks it could
    // not read are zeros and recorded. 0, or the errno of a failed write
    // (ECANCELED when the user stopped).
    int CopyStream(scan::FileDataStream& stream, PartFile& part, std::vector<BlockRange>& unreadable) {
        std::uint64_t remaining = stream.Size();
        while (remaining > 0) {
            if (source_.Aborted()) {
                summary_.cancelled = true;
                return ECANCELED;
            }
            std::size_t bytes = 0;
            std::int64_t failed = -1;
            const scan::FileDataStream::Result result = stream.Next(buffer_.data(), bytes, failed);
            if (result == scan::FileDataStream::Result::kEnded) break;
            if (result == scan::FileDataStream::Result::kUnreadable) AddUnreadable(unreadable, failed);
            bytes = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, remaining));
            if (const int error = Put(part, buffer_.data(), bytes)) return error;
            remaining -= bytes;
            // A reader that hands out nothing would never end.
            emptyBlocks_ = bytes == 0 ? emptyBlocks_ + 1 : 0;
            if (emptyBlocks_ > kMaxEmptyBlocks) break;
        }
        emptyBlocks_ = 0;
        return 0;
    }

    // Writes the file's runs in order; 0, or the errno of a failed write
    // (ECANCELED when the user stopped).
    int CopyData(const std::vector<scan::FileDataRun>& runs, PartFile& part, std::vector<BlockRange>& unreadable) {
        for (const scan::FileDataRun& run : runs) {
            if (run.kind == scan::FileDataRun::Kind::kBytes) {
                if (const int error = Put(part, run.bytes.data(), run.bytes.size())) return error;
                continue;
            }
            std::int64_t block = run.start;
            std::uint64_t remaining = run.length;
            while (remaining > 0) {
                if (source_.Aborted()) {
                    summary_.cancelled = true;
                    return ECANCELED;
                }
                if (run.kind == scan::FileDataRun::Kind::kZeros) {
                    const std::uint64_t bytes = std::min<std::uint64_t>(remaining, buffer_.size());
                    std::memset(buffer_.data(), 0, static_cast<std::size_t>(bytes));
                    if (const int error = Put(part, buffer_.data(), static_cast<std::size_t>(bytes))) return error;
                    remaining -= bytes;
                    continue;
                }
                const std::uint64_t blocksLeft = (remaining + kBlockBytes - 1) / kBlockBytes;
                const int count = static_cast<int>(std::min<std::uint64_t>(kBlocksPerRead, blocksLeft));
                ReadBlocks(block, count, unreadable);
                const std::uint64_t bytes = std::min<std::uint64_t>(remaining, std::uint64_t(count) * kBlockBytes);
                if (const int error = Put(part, buffer_.data(), static_cast<std::size_t>(bytes))) return error;
                remaining -= bytes;
                block += count;
            }
        }
        return 0;
    }

    // Fills the buffer with `count` blocks; blocks that stay unreadable
    // (or lie beyond any block address) are zeros and are recorded.
    void ReadBlocks(std::int64_t block, int count, std::vector<BlockRange>& unreadable) {
        if (block >= 0 && block + count - 1 <= kLastBlock &&
            source_.Read(static_cast<std::int32_t>(block), count, buffer_.data()))
            return;
        for (int i = 0; i < count; ++i) {
            std::uint8_t* out = buffer_.data() + std::size_t(i) * kBlockBytes;
            const std::int64_t at = block + i;
            if (at < 0 || at > kLastBlock || !source_.Read(static_cast<std::int32_t>(at), 1, out)) {
                std::memset(out, 0, kBlockBytes);
                AddUnreadable(unreadable, at);
            }
        }
    }

    // Writes to the file being copied and tells the listener.
    int Put(PartFile& part, const std::uint8_t* data, std::size_t bytes) {
        const int error = part.Write(data, bytes);
        if (!error && bytes && listener_.onBytes) listener_.onBytes(bytes);
        return error;
    }

    void Report(const FileReport& report) {
        summary_.files.push_back(report);
        if (listener_.onFile) listener_.onFile(report);
    }
    void Renamed(const RenameReport& report) {
        summary_.renamed.push_back(report);
        if (listener_.onRename) listener_.onRename(report);
    }

    BlockSource& source_;
    const ExtractOptions& options_;
    const ExtractListener& listener_;
    ExtractSummary& summary_;
    std::vector<bool> matched_;
    std::vector<std::uint8_t> buffer_;
    int emptyBlocks_ = 0;
};

}  // namespace

int ExtractSummary::Count(FileOutcome outcome) const {
    return static_cast<int>(std::count_if(files.begin(), files.end(),
                                          [outcome](const FileReport& f) { return f.outcome == outcome; }));
}

bool ExtractSummary::AllWhole() const {
    if (!targetError.empty() || cancelled || !notFound.empty()) return false;
    return std::all_of(files.begin(), files.end(),
                       [](const FileReport& f) { return f.outcome == FileOutcome::kWritten; });
}

ExtractSummary ExtractFiles(const std::vector<const scan::FoundItem*>& roots, BlockSource& source,
                            const ExtractOptions& options, const ExtractListener& listener) {
    ExtractSummary summary;
    Extraction(source, options, listener, summary).Run(roots);
    return summary;
}

std::string BlockRangesText(const std::vector<BlockRange>& ranges) {
    std::string text;
    for (const BlockRange& range : ranges) {
        if (!text.empty()) text += ", ";
        text += std::to_string(range.first);
        if (range.last != range.first) text += "-" + std::to_string(range.last);
    }
    return text;
}

}  // namespace dravik::extract
