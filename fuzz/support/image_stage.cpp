#include "support/image_stage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "program/scan/track_list.h"
#include "support/device_stage.h"
#include "vdrive/disc.h"
#include "vdrive/virtual_drive.h"

namespace dravik::fuzz {
namespace {

constexpr std::size_t kBlockBytes = 2048;

struct Stage {
    int image = -1;  // the disc's blocks, in memory
};

std::uint16_t Le16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

Stage& TheStage() {
    static Stage* stage = [] {
        auto* s = new Stage;
        s->image = memfd_create("dravik-fuzz-disc", MFD_CLOEXEC);
        if (s->image < 0 || ftruncate(s->image, kMaxBlocks * kBlockBytes) != 0) SetUpFailed("memfd");
        std::string why;
        auto file = vdrive::ImageFile::Open("/proc/self/fd/" + std::to_string(s->image), why);
        if (!file) SetUpFailed(why.c_str());

        vdrive::LoadedImage loaded;
        loaded.disc = std::make_shared<vdrive::Disc>();
        vdrive::Track track;
        track.end = kMaxBlocks;
        loaded.disc->tracks.push_back(track);
        loaded.disc->areas.push_back(vdrive::Area{0, kMaxBlocks, file, 0, kBlockBytes});
        if (!vdrive::FinishDisc(*loaded.disc).empty()) SetUpFailed("disc");
        SelectDrive(std::make_shared<vdrive::VirtualDrive>(std::move(loaded), "fuzz"));
        return s;
    }();
    return *stage;
}

}  // namespace

scan::TrackNode* StageImage(const std::uint8_t* data, std::size_t size) {
    Stage& stage = TheStage();
    std::int32_t blocks = kMaxBlocks;
    if (size >= 2) {
        blocks = Le16(data) % kMaxBlocks;
        if (blocks < 16) blocks += 16;
        data += 2;
        size -= 2;
    }
    // Zeros everywhere, then the records.
    if (ftruncate(stage.image, 0) != 0 || ftruncate(stage.image, kMaxBlocks * kBlockBytes) != 0) SetUpFailed("memfd");
    while (size >= 2) {
        const std::int32_t block = Le16(data) % blocks;
        const std::size_t length = size - 2 < kBlockBytes ? size - 2 : kBlockBytes;
        if (pwrite(stage.image, data + 2, length, static_cast<off_t>(block) * kBlockBytes) != static_cast<ssize_t>(length))
            SetUpFailed("pwrite");
        data += 2 + length;
        size -= 2 + length;
    }

    scan::ClearTrackList(false);
    scan::TrackNode* track = scan::NewTrackNode();
    track->start = 0;
    track->end = blocks;
    track->layoutEnd = static_cast<std::uint32_t>(blocks);
    track->number = 1;
    track->session = 1;
    track->control = 0x04;
    scan::AppendTrackNode(track);
    scan::TrackNode* leadOut = scan::NewTrackNode();
    leadOut->start = blocks;
    leadOut->number = scan::kLeadOutNumber;
    leadOut->session = 1;
    leadOut->control = 0x14;
    scan::AppendTrackNode(leadOut);
    return track;
}

void ClearStage() { scan::ClearTrackList(false); }

}  // namespace dravik::fuzz
