// A plain .iso: one Mode 1 track of 2048-byte blocks from block 0, on a
// finalized CD-ROM.
#include "vdrive/image_loader.h"

#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

bool LoadIso(const std::string& path, LoadedImage& out, LoadError& error) {
    std::string why;
    auto file = ImageFile::Open(path, why);
    if (!file) {
        error = LoadError{path, 0, why};
        return false;
    }
    if (file->Size() == 0) {
        error = LoadError{path, 0, "the image is empty"};
        return false;
    }
    if (file->Size() % kUserDataSize != 0) {
        error = LoadError{path, 0, "the image is truncated: " + std::to_string(file->Size()) +
                                       " bytes are not a whole number of 2048-byte blocks"};
        return false;
    }
    const uint64_t blocks = file->Size() / kUserDataSize;
    if (blocks > uint64_t(kLastAddress)) {
        error = LoadError{path, 0, "the image is larger than a disc can address"};
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
    disc->areas.push_back(Area{0, int32_t(blocks), file, 0, uint32_t(kUserDataSize)});
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
