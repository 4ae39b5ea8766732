// The scan's disc layout from the drive's replies: the table of contents
// (mode 0 and the full TOC), the MMC and the older track information, the
// disc information with its walk over the tracks, and the CD-TEXT packs.
// A drive in front of a virtual drive answers those commands (READ TOC of
// every format, READ DISC INFORMATION, READ TRACK INFORMATION, the vendor
// track information) with replies taken in turn from the input; every
// other command reaches the virtual drive.
//
// Input layout: replies of two bytes little-endian, the reply's length,
// and that many bytes; length 0xFFFF answers the command with CHECK
// CONDITION (ILLEGAL REQUEST) instead. When the replies run out, the
// commands fail that way too.
//
// Seeds: run with DRAVIK_FUZZ_RECORD_DISC=disc.vdisc and
// DRAVIK_FUZZ_RECORD_TO=file, the harness passes those commands to a
// virtual drive serving that description instead, writes the replies it
// got in the input layout, and exits (fuzz/seeds/make_seeds.sh).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "program/scan/driver/disc_layout.h"
#include "program/scan/track_list.h"
#include "support/device_stage.h"
#include "vdrive/virtual_drive.h"

namespace {

using namespace dravik;

constexpr std::uint16_t kFailedReply = 0xFFFF;

bool Scripted(std::uint8_t opcode) { return opcode == 0x43 || opcode == 0x51 || opcode == 0x52 || opcode == 0xE5; }

class ScriptedDrive : public platform::ScsiDrive {
public:
    explicit ScriptedDrive(std::shared_ptr<platform::ScsiDrive> inner) : inner_(std::move(inner)) {}

    // Replies from `script` from now on (null: from the inner drive, recorded).
    void Play(const std::uint8_t* script, std::size_t size) {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = script != nullptr;
        script_ = script;
        left_ = size;
    }
    void Record() {
        std::lock_guard<std::mutex> hold(lock_);
        recording_ = true;
    }
    std::vector<std::uint8_t> Recorded() const {
        std::lock_guard<std::mutex> hold(lock_);
        return recorded_;
    }

    platform::ScsiResult Execute(const platform::ScsiRequest& request) override {
        std::unique_lock<std::mutex> hold(lock_);
        if (request.cdbLength == 0 || !Scripted(request.cdb[0]) || request.direction != platform::DataDirection::kIn) {
            hold.unlock();
            return inner_->Execute(request);
        }
        if (recording_) {
            hold.unlock();
            platform::ScsiResult result = inner_->Execute(request);
            hold.lock();
            const std::size_t length = result.Good() ? request.dataLength - result.residual : 0;
            const std::uint16_t field = result.Good() ? static_cast<std::uint16_t>(length) : kFailedReply;
            recorded_.push_back(static_cast<std::uint8_t>(field));
            recorded_.push_back(static_cast<std::uint8_t>(field >> 8));
            if (result.Good()) recorded_.insert(recorded_.end(), request.data, request.data + length);
            return result;
        }
        if (!playing_ || left_ < 2) return Refused();
        const std::size_t field = script_[0] | script_[1] << 8;
        script_ += 2;
        left_ -= 2;
        if (field == kFailedReply) return Refused();
        const std::size_t length = std::min({field, left_, request.dataLength});
        std::memset(request.data, 0, request.dataLength);
        if (length) std::memcpy(request.data, script_, length);
        const std::size_t used = std::min(field, left_);
        script_ += used;
        left_ -= used;
        platform::ScsiResult result;
        result.residual = request.dataLength - length;
        return result;
    }
    platform::DriveIdentity Identity() const override { return inner_->Identity(); }
    platform::DriveKind Kind() const override { return platform::DriveKind::kVirtual; }
    std::string Location() const override { return inner_->Location(); }

private:
    static platform::ScsiResult Refused() {
        platform::ScsiResult result;
        result.scsiStatus = platform::kScsiCheckCondition;
        result.sense[0] = 0x70;
        result.sense[2] = 0x05;  // ILLEGAL REQUEST
        result.sense[7] = 10;
        result.sense[12] = 0x24;  // invalid field in CDB
        result.senseLength = 18;
        return result;
    }

    std::shared_ptr<platform::ScsiDrive> inner_;
    mutable std::mutex lock_;
    bool playing_ = false;
    bool recording_ = false;
    const std::uint8_t* script_ = nullptr;
    std::size_t left_ = 0;
    std::vector<std::uint8_t> recorded_;
};

ScriptedDrive* g_drive = nullptr;

// What the scan thread does to learn the disc's layout.
void ReadLayout() {
    scan::ClearTrackList(false);
    std::vector<std::uint8_t> buffer(scan::kLayoutBufferBytes);
    if (scan::ReadTocLayout(buffer.data())) {
        if (!scan::ReadMmcTrackInfo(buffer.data())) scan::ReadNonMmcTrackInfo(buffer.data());
    } else {
        scan::ReadDiscInfoLayout(buffer.data());
    }
    scan::CorrectImpossibleEnds();
    scan::ReadCdText();
    scan::ClearTrackList(false);
}

std::shared_ptr<platform::ScsiDrive> ZeroDisc() {
    vdrive::LoadedImage image;
    image.disc = std::make_shared<vdrive::Disc>();
    vdrive::Track track;
    track.end = 4000;
    image.disc->tracks.push_back(track);
    image.disc->areas.push_back(vdrive::Area{0, 4000, nullptr, 0, 2048});
    if (!vdrive::FinishDisc(*image.disc).empty()) fuzz::SetUpFailed("disc");
    return std::make_shared<vdrive::VirtualDrive>(std::move(image), "fuzz");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* disc = std::getenv("DRAVIK_FUZZ_RECORD_DISC");
    const char* to = std::getenv("DRAVIK_FUZZ_RECORD_TO");
    std::shared_ptr<platform::ScsiDrive> inner;
    if (disc && to) {
        vdrive::LoadError error;
        inner = vdrive::VirtualDrive::Open(disc, error);
        if (!inner) fuzz::SetUpFailed(error.Text().c_str());
    } else {
        inner = ZeroDisc();
    }
    auto drive = std::make_shared<ScriptedDrive>(inner);
    g_drive = drive.get();
    fuzz::SelectDrive(drive);
    if (disc && to) {
        g_drive->Record();
        ReadLayout();
        const std::vector<std::uint8_t> replies = g_drive->Recorded();
        std::FILE* out = std::fopen(to, "wb");
        if (!out || std::fwrite(replies.data(), 1, replies.size(), out) != replies.size()) fuzz::SetUpFailed(to);
        std::fclose(out);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_drive->Play(data, size);
    ReadLayout();
    g_drive->Play(nullptr, 0);
    return 0;
}
