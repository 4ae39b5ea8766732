// HFS volumes for tests: made with hfsutils (hformat, hmkdir, hcopy,
// hrename, hdel) in a folder of the test, and reshaped with the few byte
// edits no tool makes: a volume wrapped in an Apple partition map, a
// zeroed master directory block, a wrong allocation block start. Each
// tool command runs with HOME in that folder (hfsutils keeps its current
// volume in ~/.hcwd).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace dravik::test {

// True when every tool named is on the PATH.
bool HaveTools(const std::vector<std::string>& tools);

// The bytes of a test file: its name repeated, so that a wrong extent shows.
std::string PatternContent(const std::string& name, std::size_t size);

class HfsVolumeMaker {
public:
    // Formats `path` (created in `dir`) as an HFS volume of `kilobytes`
    // named `name`, and mounts it for the commands below.
    HfsVolumeMaker(const TempDir& dir, std::string path, int kilobytes, const std::string& name);
    ~HfsVolumeMaker();
    HfsVolumeMaker(const HfsVolumeMaker&) = delete;
    HfsVolumeMaker& operator=(const HfsVolumeMaker&) = delete;

    // True while every command has succeeded; the failing command and its
    // output otherwise.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Mac paths use ":" between names; names are Mac Roman bytes.
    void Folder(const std::string& macPath);
    void File(const std::string& macPath, const std::string& content);
    // A file with both forks and its type and creator codes (copied in as
    // MacBinary II, which hcopy unpacks).
    void MacFile(const std::string& macPath, const std::string& data, const std::string& resource,
                 const std::string& type, const std::string& creator);
    void Rename(const std::string& from, const std::string& to);
    void Delete(const std::string& macPath);
    // Bytes the volume has free (from hvol).
    std::uint64_t FreeBytes();
    // Unmounts; the image is complete afterwards.
    void Finish();

    const std::string& path() const { return path_; }

private:
    bool Run(const std::string& command, std::string* output = nullptr);

    const TempDir& dir_;
    std::string path_;
    std::string error_;
    bool mounted_ = false;
    int files_ = 0;
};

std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// A driver descriptor, a two-entry partition map (the map itself and one
// Apple_HFS partition) and the volume from sector `volumeSector` on, padded
// to whole 2048-byte blocks.
std::vector<std::uint8_t> WrapInPartitionMap(const std::vector<std::uint8_t>& volume, std::uint32_t volumeSector,
                                             const std::string& partitionName = "Test");

// Big-endian fields of a 512-byte sector `sector` of an image.
std::uint16_t GetSectorBe16(const std::vector<std::uint8_t>& image, std::uint64_t sector, std::size_t offset);
std::uint32_t GetSectorBe32(const std::vector<std::uint8_t>& image, std::uint64_t sector, std::size_t offset);
void PutSectorBe16(std::vector<std::uint8_t>& image, std::uint64_t sector, std::size_t offset, std::uint16_t value);
void ZeroSector(std::vector<std::uint8_t>& image, std::uint64_t sector);

// Where a volume (starting at sector `volume` of the image) keeps its
// catalog of 512-byte nodes, as far as the master directory block's three
// extents reach.
struct HfsCatalogPlace {
    std::uint64_t allocationBase = 0;  // sector of allocation block 0
    std::uint32_t blockSectors = 0;
    std::uint32_t starts[3] = {};
    std::uint32_t counts[3] = {};
    // The sector of node n; 0 beyond the three extents.
    std::uint64_t NodeSector(std::uint32_t node) const;
};
HfsCatalogPlace CatalogPlace(const std::vector<std::uint8_t>& image, std::uint64_t volume);

}  // namespace dravik::test
