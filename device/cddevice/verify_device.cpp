// The device check run on every drive the enumeration reaches: accept or
// refuse it, name it, look it up in the device database, learn its command
// forms, speed method, buffer size and capabilities from its mode pages,
// fill defaults for models the database does not know, and on request
// classify the disc in it.
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/cddevice/mode_page_walk.h"
#include "device/ddb/ddb_info.h"
#include "device/regstore/registry_store.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

// Standard INQUIRY data end with the product revision at byte 35; anything
// shorter lacks part of the name.
constexpr int kInquiryMinimumBytes = 36;
constexpr int kVendorAt = 8, kVendorBytes = 8;
constexpr int kProductAt = 16, kProductBytes = 16;
constexpr int kNameChars = kVendorBytes + 1 + kProductBytes;  // 25
constexpr int kModeSenseRetries = 5;
// Form switches do not use retries; this bounds a drive that keeps
// answering each form in the shape of the other.
constexpr int kModeSenseMostAttempts = 16;
constexpr uint8_t kNoEntryYet = 0xFF;   // TrkInfo before a database entry set it
constexpr uint16_t kNoBufferSize = 0xFFFF;

// The name as vendor, blank, product. A control byte (some drives pad with
// zero bytes) becomes a blank, so that it neither cuts the name short nor
// reaches the database file, whose lines it would break.
void BuildName(const unsigned char* inquiry, char (&name)[kNameChars + 1]) {
    std::memcpy(name, inquiry + kVendorAt, kVendorBytes);
    name[kVendorBytes] = ' ';
    std::memcpy(name + kVendorBytes + 1, inquiry + kProductAt, kProductBytes);
    for (int i = 0; i < kNameChars; ++i)
        if (static_cast<unsigned char>(name[i]) < 0x20 || name[i] == 0x7F) name[i] = ' ';
    name[kNameChars] = '\0';
}

void ClearCrashMarker() {
    RegistryStore settings;
    settings.Open(".DeviceIntf");
    settings.WriteFlag("CrashDetect", false);
    settings.Close();
}

}  // namespace

bool CDDevice::VerifyDevice(bool checkMedia) {
    verifyRefusal_ = VerifyAccepted;

    // Only a device that answers INQUIRY with its full name and is not a
    // fixed (non-removable direct-access) disk is offered.
    unsigned char inquiry[kInquiryMinimumBytes];
    if (!Inquiry(workBuffer_.get())) {
        verifyRefusal_ = VerifyNoInquiry;
        return false;
    }
    std::memcpy(inquiry, workBuffer_.get(), sizeof inquiry);
    if ((inquiry[0] & 0x1F) == 0 && (inquiry[1] & 0x80) == 0) {
        verifyRefusal_ = VerifyFixedDisk;
        return false;
    }
    if (inquiry[4] + 5 < kInquiryMinimumBytes) {
        cmd::Log(*this, 1, "Inquiry data of %s end after %d bytes", GetDeviceId(), inquiry[4] + 5);
        verifyRefusal_ = VerifyShortInquiry;
        return false;
    }

    // Forget what the check of an earlier drive learnt. Drives of any ANSI
    // version but 1 are asked with the 10-byte MODE commands first.
    recorder_ = capabilitiesKnown_ = false;
    dvdDisc_ = dvdMinusDisc_ = dvdPlusDisc_ = dvdPlusR_ = dvdRW_ = false;
    serialNumber_[0] = '\0';
    sectorSize_ = 2048;
    ansiVersion0_ = false;
    mediaType_ = 0;
    deviceRecord_->Reset();
    const int ansiVersion = inquiry[2] & 0x07;
    if (ansiVersion == 0) ansiVersion0_ = true;
    if (ansiVersion != 1) deviceRecord_->SetMode10(true);

    // The name the log, the drive list and the database use.
    char name[kNameChars + 1];
    BuildName(inquiry, name);
    SingleSpace(strip(name));
    deviceRecord_->SetDeviceName(name);
    cmd::Log(*this, 1, "CD Device: %s at %s", name, GetDeviceId());

    // Values that mean "not known yet", then the database entry, which may
    // fill them; an unreadable database or a disabled entry refuses the drive.
    deviceRecord_->SetBufferSize(kNoBufferSize);
    deviceRecord_->SetTrackInfoCmd(kNoEntryYet);
    deviceRecord_->SetModeLenReq(true);
    deviceRecord_->SetSubQ(2);
    if (!deviceRecord_->GetDeviceInfo()) {
        verifyRefusal_ = VerifyNoDatabase;
        return false;
    }
    if (deviceRecord_->IsDisabled()) {
        verifyRefusal_ = VerifyDisabled;
        return false;
    }

    // All mode pages with their current values, in the 6- or 10-byte form
    // the drive's answers ask for. A drive that will not answer is still
    // accepted, with what the database said.
    unsigned char* data = workBuffer_.get();
    int received = 0;
    const auto AnswersGetConfiguration = [this] {
        constexpr uint32_t kConfigurationHeaderBytes = 8;
        unsigned char header[kConfigurationHeaderBytes] = {};
        DevRequest request(this);
        request.direction = kRequestDataIn;
        request.buffer = header;
        request.dataLength = kConfigurationHeaderBytes;
        request.cdbLength = 10;
        request.cdb[0] = scsi::kGetConfiguration;
        request.cdb[1] = 1;  // the current features only
        bytes::PutBe16(request.cdb + 7, kConfigurationHeaderBytes);
        if (!Send(request, false)) {
            TakeSense(request);
            return false;
        }
        return request.dataLength >= kConfigurationHeaderBytes && bytes::GetBe32(header) >= 4;
    };
    const auto GatherSinglePages = [this](unsigned char* gathered) {
        unsigned char answer[256];
        int used = 0;
        for (const uint8_t page : verify::kSinglePages) {
            int length = static_cast<int>(sizeof answer) - 1;
            int pageOffset = 0;
            if (!ModeSenseCommand(page, answer, &length, &pageOffset)) continue;
            // The answer buffer was cleared before the command: what the
            // drive did not fill reads as zeros and ends the pages.
            used = verify::GatherModeAnswer(gathered, used, answer, static_cast<int>(sizeof answer) - 1);
        }
        return used;
    };
    int retriesLeft = kModeSenseRetries;
    for (int attempt = 0;; ++attempt) {
        if (attempt >= kModeSenseMostAttempts) return true;
        const bool mode10 = deviceRecord_->IsMode10();
        std::memset(data, 0, verify::kModeSenseBytes);
        DevRequest request(this);
        request.direction = kRequestDataIn;
        request.buffer = data;
        request.dataLength = verify::kModeSenseBytes;
        request.cdb[2] = 0x3F;
        if (mode10) {
            request.cdbLength = 10;
            request.cdb[0] = scsi::kModeSense10;
            bytes::PutBe16(request.cdb + 7, verify::kModeSenseBytes);
        } else {
            request.cdbLength = 6;
            request.cdb[0] = scsi::kModeSense6;
            request.cdb[4] = 255;
        }
        if (!Send(request, false)) {
            TakeSense(request);
            if (debugLevel_ >= 1)
                cmd::Log(*this, 1, "Mode sense cmd %x for 0x3f failed: 0x%02x %s", request.cdb[0],
                         request.requestStatus, FormatSense(&request));
            if (retriesLeft == 0) return true;
            --retriesLeft;
            switch (request.asc) {
            case 0x28:
            case 0x29:
            case 0x04:
            case 0x00:
                continue;
            case 0x20:
                cmd::Log(*this, 1,
                         mode10 ? "Mode select command %x failed, changing to 6-byte cmd"
                                : "Mode select command %x failed, changing to 10-byte cmd",
                         request.cdb[0]);
                deviceRecord_->SetMode10(!mode10);
                continue;
            case 0x24:
                // INVALID FIELD IN CDB: the drive refuses the all-pages
                // form (QEMU's ATAPI drives do) but may answer the pages
                // one at a time; those the check needs become one answer
                // read the same way.
                received = GatherSinglePages(data);
                if (received == 0) return true;
                break;
            case 0x3A:
                // No disc: a drive the database knows as a writer is one.
                if (deviceRecord_->GetWriteCmd() != 0) recorder_ = true;
                return true;
            default:
                return true;
            }
            break;  // the pages were gathered one at a time
        }
        received = static_cast<int>(std::min<uint32_t>(request.dataLength, verify::kModeSenseBytes));
        // Some drives report a short length in MODE SENSE(10): 256 more.
        if (mode10 && data[0] == 0 && data[1] < 0x20) data[0] = 1;
        if (mode10 && data[0] > 2) {
            // The answer has the 6-byte form: ask in that form.
            deviceRecord_->SetMode10(false);
            continue;
        }
        break;
    }
    const verify::ModeHeader header = verify::ReadModeHeader(data, received);
    // A descriptor whose block length reads 0 leaves the 2048 set above.
    if (header.sectorSize > 0) sectorSize_ = static_cast<int16_t>(header.sectorSize);
    mediaType_ = static_cast<uint8_t>(header.mediumType);
    const int end = std::min(header.total, received);
    cmd::Dump(*this, data, std::min(header.total, verify::kModeSenseBytes), "CD device mode parameters");

    // What the pages tell: writer or not, capabilities, speed method,
    // retries and the inactivity timer.
    const verify::PageFindings found =
        verify::WalkModePages(data, header.firstPage, end, static_cast<uint8_t>(deviceRecord_->GetSpeedCode()),
                              deviceRecord_->GetDeviceName(), *deviceRecord_);
    if (found.hardwareRetry >= 0) hardwareRetry_ = static_cast<int16_t>(found.hardwareRetry);
    if (found.recorder) recorder_ = true;
    if (found.inactivityMultiplier >= 0) inactivityMultiplier_ = static_cast<uint8_t>(found.inactivityMultiplier);
    if (found.driveSpeed >= 0) driveSpeedValue_ = static_cast<uint8_t>(found.driveSpeed);
    if (found.capabilitiesKnown) {
        capabilitiesKnown_ = true;
        std::memset(capabilities_, 0, sizeof capabilities_);
        std::memcpy(capabilities_, found.capabilities, static_cast<size_t>(found.capabilityBytes));
    }
    if (deviceRecord_->GetSpeedCode() == verify::kNoSpeedMethod && found.method != verify::kNoSpeedMethod)
        deviceRecord_->SetSpeedCode(found.method);
    // A capabilities page that does not claim the CD-DA commands (QEMU's
    // ATAPI drives leave that bit clear) still comes from an MMC drive when
    // the drive answers GET CONFIGURATION, a command older drives lack.
    if (found.capabilitiesKnown && !deviceRecord_->IsMMC() && AnswersGetConfiguration()) deviceRecord_->SetMMC(true);

    // A model the database has no entry for gets the usual commands: the
    // MMC set for MMC drives, the older vendor commands otherwise.
    if (deviceRecord_->GetTrackInfoCmd() == kNoEntryYet) {
        SetRecoveryState(-1, nullptr);
        if (std::strcmp(deviceRecord_->GetDeviceName(), "HP") == 0) deviceRecord_->SetFullErase(true);
        if (deviceRecord_->IsMMC()) {
            deviceRecord_->SetRawCmd(0xBE);
            deviceRecord_->SetTrackInfoCmd(0x52);
            deviceRecord_->SetCDDACmd(0xBE);
            deviceRecord_->SetCDDALen(12);
            deviceRecord_->SetCDDAEnable(true);
            deviceRecord_->SetRawModeAvail(true);
            deviceRecord_->SetCDDADensity(0xFF);
            if (recorder_ && (deviceRecord_->GetWriteCmd() == 0 || deviceRecord_->GetWriteFormat() == 0))
                deviceRecord_->SetWriteCmd(0x2A);
        } else {
            deviceRecord_->SetTrackInfoCmd(0xE5);
            deviceRecord_->SetCDDACmd(0xD9);
            deviceRecord_->SetCDDALen(12);
            deviceRecord_->SetCDDAMSF(true);
        }
        if (deviceRecord_->GetMechType() == 1) deviceRecord_->SetLoadDisc(true);
        deviceRecord_->SetLoadCmd(0x1B);
    } else if (recorder_ && deviceRecord_->GetWriteCmd() == 0 && deviceRecord_->GetWriteFormat() == 0) {
        deviceRecord_->SetWriteCmd(0x2A);
    }

    // The buffer size when the database gave none, and the feature list of
    // MMC drives.
    if (deviceRecord_->GetBufferSize() == kNoBufferSize) ReadDeviceBufferSize();
    // A DVD+RW drive may keep a background format running from an earlier
    // session: stop it, so that reading the disc is not slowed by it.
    if (!deviceRecord_->IsNoFeatures() && deviceRecord_->IsMMC()) {
        GetFeatures();
        if (deviceRecord_->IsDVDPlusRW() && CheckFormatInProgress()) HaltFormat();
    }

    // Probing this drive did not bring the process down: clear the marker
    // that the next start would take for a crash.
    ClearCrashMarker();

    // On request, classify the disc in the drive; a DVD, or a medium type
    // the mode header already set as recordable or rewritable, is kept.
    if (checkMedia && CheckDevice(true) && !dvdDisc_ && mediaType_ < 0x10) ClassifyMedium();
    return true;
}

}  // namespace dravik::device
