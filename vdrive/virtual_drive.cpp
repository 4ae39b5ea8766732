#include "vdrive/virtual_drive.h"

#include <cerrno>

#include "platform/byte_order.h"
#include "platform/scsi_opcodes.h"
#include "vdrive/command.h"
#include "vdrive/drive_state.h"
#include "vdrive/image_loader.h"
#include "vdrive/save_disc.h"

namespace dravik::vdrive {

namespace {

using platform::DataDirection;

// Where a command keeps the length of the data it moves.
enum class LengthField : uint8_t {
    kNone,      // no data
    kByte4,     // 6-byte commands
    kBytes7to8, // 10-byte commands
    kBytes6to8, // READ BUFFER: 24 bits
    kBytes8to9, // SEND DVD STRUCTURE
    kFixed8,    // READ CAPACITY: always 8 bytes
    kHandler,   // reads: the handler computes it from the block count
};

enum class DriveKindNeeded : uint8_t { kAny, kMmc, kOlder };

struct CommandSpec {
    uint8_t opcode;
    uint8_t cdbLength;
    DataDirection direction;
    LengthField length;
    bool needsMedium;
    // INQUIRY, REQUEST SENSE and GET CONFIGURATION are answered even while a
    // unit attention is pending, as MMC drives do.
    bool ignoresUnitAttention;
    DriveKindNeeded drives;
    CommandHandler handler;
};

constexpr DataDirection kIn = DataDirection::kIn, kOut = DataDirection::kOut, kNoData = DataDirection::kNone;

constexpr CommandSpec kCommands[] = {
    {scsi::kTestUnitReady, 6, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kAny, HandleTestUnitReady},
    {scsi::kRequestSense, 6, kIn, LengthField::kByte4, false, true, DriveKindNeeded::kAny, HandleRequestSense},
    {scsi::kInquiry, 6, kIn, LengthField::kByte4, false, true, DriveKindNeeded::kAny, HandleInquiry},
    {scsi::kModeSelect6, 6, kOut, LengthField::kByte4, false, false, DriveKindNeeded::kAny, HandleModeSelect6},
    {scsi::kModeSense6, 6, kIn, LengthField::kByte4, false, false, DriveKindNeeded::kAny, HandleModeSense6},
    {scsi::kStartStopUnit, 6, kNoData, LengthField::kNone, false, false, DriveKindNeeded::kAny, HandleStartStopUnit},
    {scsi::kPreventAllowRemoval, 6, kNoData, LengthField::kNone, false, false, DriveKindNeeded::kAny, HandlePreventAllowRemoval},
    {scsi::kReadFormatCapacities, 10, kIn, LengthField::kBytes7to8, true, false, DriveKindNeeded::kMmc, HandleReadFormatCapacities},
    {scsi::kReadCapacity, 10, kIn, LengthField::kFixed8, true, false, DriveKindNeeded::kAny, HandleReadCapacity},
    {scsi::kRead10, 10, kIn, LengthField::kHandler, true, false, DriveKindNeeded::kAny, HandleRead10},
    {scsi::kSeek10, 10, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kAny, HandleSeek10},
    {scsi::kReadSubChannel, 10, kIn, LengthField::kBytes7to8, true, false, DriveKindNeeded::kAny, HandleReadSubChannel},
    {scsi::kReadBuffer, 10, kIn, LengthField::kBytes6to8, false, false, DriveKindNeeded::kAny, HandleReadBuffer},
    {scsi::kReadToc, 10, kIn, LengthField::kBytes7to8, true, false, DriveKindNeeded::kAny, HandleReadToc},
    {scsi::kGetConfiguration, 10, kIn, LengthField::kBytes7to8, false, true, DriveKindNeeded::kMmc, HandleGetConfiguration},
    {scsi::kReadDiscInformation, 10, kIn, LengthField::kBytes7to8, true, false, DriveKindNeeded::kMmc, HandleReadDiscInformation},
    {scsi::kReadTrackInformation, 10, kIn, LengthField::kBytes7to8, true, false, DriveKindNeeded::kMmc, HandleReadTrackInformation},
    {scsi::kModeSelect10, 10, kOut, LengthField::kBytes7to8, false, false, DriveKindNeeded::kAny, HandleModeSelect10},
    {scsi::kModeSense10, 10, kIn, LengthField::kBytes7to8, false, false, DriveKindNeeded::kAny, HandleModeSense10},
    {scsi::kSetCdSpeed, 12, kNoData, LengthField::kNone, false, false, DriveKindNeeded::kMmc, HandleSetCdSpeed},
    {scsi::kReadCd, 12, kIn, LengthField::kHandler, true, false, DriveKindNeeded::kMmc, HandleReadCd},
    {scsi::kReadCdDa, 12, kIn, LengthField::kHandler, true, false, DriveKindNeeded::kOlder, HandleReadCdDaLba},
    {scsi::kReadCdDaMsf, 12, kIn, LengthField::kHandler, true, false, DriveKindNeeded::kOlder, HandleReadCdDaMsf},
    {scsi::kWrite10, 10, kOut, LengthField::kHandler, true, false, DriveKindNeeded::kMmc, HandleWrite10},
    {scsi::kWriteVerify10, 10, kOut, LengthField::kHandler, true, false, DriveKindNeeded::kMmc, HandleWrite10},
    {scsi::kWrite12, 12, kOut, LengthField::kHandler, true, false, DriveKindNeeded::kMmc, HandleWrite12},
    {scsi::kSynchronizeCache, 10, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kMmc, HandleSynchronizeCache},
    {scsi::kCloseTrackSession, 10, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kMmc, HandleCloseTrackSession},
    {scsi::kReserveTrack, 10, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kMmc, HandleReserveTrack},
    {scsi::kRepairTrack, 10, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kMmc, HandleRepairTrack},
    {scsi::kBlank, 12, kNoData, LengthField::kNone, true, false, DriveKindNeeded::kMmc, HandleBlank},
    {scsi::kFormatUnit, 6, kOut, LengthField::kHandler, true, false, DriveKindNeeded::kMmc, HandleFormatUnit},
    {scsi::kSendOpcInformation, 10, kOut, LengthField::kBytes7to8, true, false, DriveKindNeeded::kMmc, HandleSendOpcInformation},
    {scsi::kReadBufferCapacity, 10, kIn, LengthField::kBytes7to8, false, false, DriveKindNeeded::kMmc, HandleReadBufferCapacity},
    {scsi::kSendDiscStructure, 12, kOut, LengthField::kBytes8to9, true, false, DriveKindNeeded::kMmc, HandleSendDvdStructure},
    {scsi::kVendorTrackInformation, 10, kIn, LengthField::kBytes7to8, true, false, DriveKindNeeded::kOlder, HandleVendorTrackInformation},
};

const CommandSpec* FindCommand(uint8_t opcode, bool mmc) {
    for (const CommandSpec& entry : kCommands) {
        if (entry.opcode != opcode) continue;
        if (entry.drives == DriveKindNeeded::kMmc && !mmc) return nullptr;
        if (entry.drives == DriveKindNeeded::kOlder && mmc) return nullptr;
        return &entry;
    }
    return nullptr;
}

size_t DeclaredLength(const CommandSpec& entry, const uint8_t* cdb) {
    switch (entry.length) {
    case LengthField::kByte4: return cdb[4];
    case LengthField::kBytes7to8: return bytes::GetBe16(cdb + 7);
    case LengthField::kBytes6to8: return bytes::GetBe24(cdb + 6);
    case LengthField::kBytes8to9: return bytes::GetBe16(cdb + 8);
    case LengthField::kFixed8: return 8;
    default: return 0;
    }
}

// Checks the shape of a command before anything else: a drive that meets a
// CDB it does not know, of the wrong length, or whose data phase does not
// match the buffer it was given refuses it.
Sense CheckShape(const CommandSpec* entry, const platform::ScsiRequest& request, size_t& declared) {
    if (!entry || request.cdbLength != entry->cdbLength) return sense::kInvalidOpcode;
    declared = DeclaredLength(*entry, request.cdb);
    if (entry->direction == kNoData) {
        if (request.dataLength != 0 && request.direction != kNoData) return sense::kInvalidFieldInCdb;
        return sense::kNone;
    }
    if (declared > 0) {
        if (request.direction != entry->direction || request.dataLength < declared) return sense::kInvalidFieldInCdb;
    } else if (request.dataLength != 0 && request.direction != entry->direction) {
        return sense::kInvalidFieldInCdb;
    }
    return sense::kNone;
}

bool RequestIsMalformed(const platform::ScsiRequest& r) {
    if (!r.cdb) return true;
    if (r.cdbLength != 6 && r.cdbLength != 10 && r.cdbLength != 12 && r.cdbLength != 16) return true;
    if (r.dataLength > 0 && !r.data) return true;
    return false;
}

// A failure a test asked for, or the busy answer of a recorder still
// finishing a close, blank or format.
Sense InjectedOrBusy(DriveState& state, uint8_t opcode, bool needsMedium) {
    RecorderState& rec = state.recorder;
    auto failure = rec.failures.find(opcode);
    if (failure != rec.failures.end() && failure->second.count > 0) {
        failure->second.count--;
        return failure->second.sense;
    }
    if (needsMedium && rec.busyLeft > 0) {
        rec.busyLeft--;
        return rec.busySense;
    }
    return sense::kNone;
}

}  // namespace

VirtualDrive::VirtualDrive(LoadedImage image, std::string location)
    : config_(std::move(image.drive)), location_(std::move(location)), state_(std::make_unique<DriveState>()) {
    if (image.disc && image.disc->medium != Medium::kNone) state_->disc = std::move(image.disc);
    // A drive that holds a disc it can write has the write parameters page.
    const bool writable = state_->disc && (state_->disc->Recordable() || state_->disc->medium == Medium::kDvdPlusRw);
    if (writable && config_.mmc && config_.pageCodes.empty()) config_.pageCodes = {0x01, 0x05, 0x0D, 0x2A};
    state_->pages.Init(config_);
    state_->readSpeedKBps = config_.maxReadSpeedKBps;
    state_->pages.SetCurrentReadSpeed(state_->readSpeedKBps);
    state_->notReadyLeft = config_.notReadyCommands;
    state_->unitAttention = config_.unitAttentionAtStart;
    state_->timing = config_.timing;
}

VirtualDrive::~VirtualDrive() = default;

std::unique_ptr<VirtualDrive> VirtualDrive::Open(const std::string& path, LoadError& error, const std::string& mapPath) {
    LoadedImage image;
    if (!LoadImageWithMap(path, mapPath, image, error)) return nullptr;
    return std::make_unique<VirtualDrive>(std::move(image), path);
}

platform::DriveIdentity VirtualDrive::Identity() const {
    return platform::DriveIdentity{config_.vendor, config_.product, config_.revision};
}

platform::ScsiResult VirtualDrive::Execute(const platform::ScsiRequest& request) {
    platform::ScsiResult result;
    if (RequestIsMalformed(request)) {
        result.transportErrno = EINVAL;
        result.residual = request.dataLength;
        return result;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    DriveState& state = *state_;
    const uint8_t opcode = request.cdb[0];
    state.counters.commands++;
    state.counters.byOpcode[opcode]++;

    const CommandSpec* entry = FindCommand(opcode, config_.mmc);
    Command command{request.cdb, request.cdbLength, request, state, config_};
    size_t declared = 0;
    Sense outcome = CheckShape(entry, request, declared);
    command.allocation = declared;
    if (outcome.key == 0 && state.unitAttention && !entry->ignoresUnitAttention) {
        state.unitAttention = false;
        outcome = sense::kMediumChanged;
    }
    const bool needsMedium =
        entry && (entry->needsMedium || (config_.modeSenseNeedsMedium && (opcode == scsi::kModeSense6 || opcode == scsi::kModeSense10)));
    if (outcome.key == 0 && needsMedium) {
        if (!state.disc) {
            outcome = state.trayOpen ? sense::kNoMediumTrayOpen : sense::kNoMedium;
        } else if (state.notReadyLeft > 0) {
            state.notReadyLeft--;
            outcome = sense::kBecomingReady;
        }
    }
    if (outcome.key == 0) outcome = InjectedOrBusy(state, opcode, needsMedium);
    if (outcome.key == 0) outcome = entry->handler(command);

    if (outcome.key != 0) {
        result.scsiStatus = platform::kScsiCheckCondition;
        WriteFixedSense(outcome, result.sense);
        result.senseLength = kFixedSenseLength;
        state.counters.checkConditions++;
    }
    if (opcode != scsi::kRequestSense) state.deferredSense = outcome;
    result.residual = request.dataLength > command.transferred ? request.dataLength - command.transferred : 0;

    state.counters.blocksServed += command.blocksServed;
    const TimingModel& timing = state.timing;
    if (timing.commandLatencyUs || timing.readSpeedKBps) {
        uint64_t us = timing.commandLatencyUs;
        if (command.blocksServed && timing.readSpeedKBps) {
            // The disc turns at the same rate whatever part of each sector
            // is transferred: 2352 bytes pass the head per block.
            const uint32_t kbps = state.readSpeedKBps < timing.readSpeedKBps ? state.readSpeedKBps : timing.readSpeedKBps;
            us += command.blocksServed * 2352ULL * 1000ULL / (kbps ? kbps : 1);
        }
        state.counters.simulatedMicroseconds += us;
    }
    return result;
}

DriveCounters VirtualDrive::Counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_->counters;
}

void VirtualDrive::ResetCounters() {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->counters = DriveCounters{};
}

void VirtualDrive::ChangeDisc(std::shared_ptr<Disc> disc) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->disc = disc && disc->medium != Medium::kNone ? std::move(disc) : nullptr;
    state_->trayOpen = false;
    state_->notReadyLeft = state_->disc ? config_.notReadyCommands : 0;
    state_->unitAttention = true;
    state_->blockLength = 2048;
    state_->density = 0;
}

void VirtualDrive::Reinsert() {
    std::shared_ptr<Disc> disc;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        disc = state_->disc;
    }
    ChangeDisc(std::move(disc));
}

void VirtualDrive::FailBlocks(int32_t first, int32_t last) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->failedBlocks.push_back(BlockRange{first, last});
}

void VirtualDrive::SetNotReadyCommands(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->notReadyLeft = count;
}

void VirtualDrive::FailCommand(uint8_t opcode, uint8_t key, uint8_t asc, uint8_t ascq, int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->recorder.failures[opcode] = RecorderState::Failure{Sense{key, asc, ascq}, times};
}

std::shared_ptr<const Disc> VirtualDrive::CurrentDisc() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!state_->disc) return nullptr;
    return std::make_shared<Disc>(*state_->disc);
}

std::string VirtualDrive::SaveDisc(const std::string& descriptionPath) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!state_->disc) return "no disc in the drive";
    return SaveDiscImage(*state_->disc, descriptionPath);
}

void VirtualDrive::SetTiming(const TimingModel& timing) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->timing = timing;
}

void VirtualDrive::SetReadObserver(ReadObserver observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_->readObserver = std::move(observer);
}

}  // namespace dravik::vdrive
