// A plain .iso: one Mode 1 track of 2048-byte blocks from block 0, on a
// finalized CD-ROM. A ddrescue mapfile beside it makes the blocks it does
// not mark read unreadable; with a map the image may stop short of the
// disc's end (ddrescue writes only what it read), and the disc is as long
// as the map says.
#include <algorithm>
#include <optional>

#include "vdrive/image_loader.h"
#include "vdrive/rescue_map.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

bool LoadIso(const std::string& path, LoadedImage& out, LoadError& error) { return LoadIso(path, {}, out, error); }

bool LoadIso(const std::string& path, const std::string& givenMap, LoadedImage& out, LoadError& error) {
    std::string why;
    auto file = ImageFile::Open(path, why);
    if (!file) {
        error = LoadError{path, 0, why};
        return false;
    }
    std::optional<RescueMap> map;
    if (const std::string mapPath = givenMap.empty() ? RescueMapBeside(path) : givenMap; !mapPath.empty()) {
        map.emplace();
        if (!LoadRescueMap(mapPath, kUserDataSize, *map, error)) return false;
    }
    if (file->Size() == 0 && !map) {
        error = LoadError{path, 0, "the image is empty"};
        return false;
    }
    if (file->Size() % kUserDataSize != 0 && !map) {
        error = LoadError{path, 0, "the image is truncated: " + std::to_string(file->Size()) +
                                       " bytes are not a whole number of 2048-byte blocks"};
        return false;
    }
    const uint64_t fileBlocks = file->Size() / kUserDataSize;
    const uint64_t blocks = std::max<uint64_t>((file->Size() + kUserDataSize - 1) / kUserDataSize,
                                               map ? uint64_t(std::max(map->end, 0)) : 0);
    if (blocks > uint64_t(kLastAddress)) {
        error = LoadError{path, 0, "the image is larger than a disc can address"};
        return false;
    }
    if (blocks == 0) {
        error = LoadError{path, 0, "the image is empty and its map describes no blocks"};
        return false;
    }
    auto disc = std::make_shared<Disc>();
    disc->medium = Medium::kCdRom;
    disc->sourcePath = path;
    Track t;
    t.mode = TrackMode::kMode1;
    t.control = 0x4;
    t.start = 0;
    t.end = int32_t(blocks);
    disc->tracks.push_back(t);
    if (fileBlocks > 0) disc->areas.push_back(Area{0, int32_t(fileBlocks), file, 0, uint32_t(kUserDataSize)});
    if (map) {
        ApplyRescueMap(*map, t.end, *disc);
        // What the image does not hold (a partly written last block, the
        // rest of the disc) was not read, whatever the map says.
        if (int64_t(fileBlocks) < t.end) disc->unreadable.push_back(BlockRange{int32_t(fileBlocks), t.end - 1});
    }
    std::string problem = FinishDisc(*disc);
    if (!problem.empty()) {
        error = LoadError{path, 0, problem};
        return false;
    }
    out.disc = std::move(disc);
    out.drive = DriveConfig{};
    out.drive.product = "VIRTUAL CD-ROM";
    return true;
}

}  // namespace dravik::vdrive
