// Ending what a write began: closing the track and the session, and the
// track reservation and repair. A failed close or reservation sets the
// write parameters' error flag so that no further data is written.
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/cddevice/recording_support.h"
#include "device/cddevice/write_parameters.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "device/transport/transport_timing.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kCloseAttempts = 5;
constexpr int kReserveAttempts = 5;
constexpr uint32_t kReserveRetryMs = 150;

bool Writes(const DDBInfo& record) { return record.GetWriteFormat() == 1 || record.GetWriteFormat() == 2; }

bool StillBusy(const DevRequest& r) { return r.senseKey == 2 && r.asc == 0x04; }

}  // namespace

bool CDDevice::CloseTrack(WriteParameters& wp, bool closeSession) {
    if (!Writes(*deviceRecord_)) return false;
    if (!SynchronizeCache(wp)) return false;
    cmd::Log(*this, 1, "Closing track %d", static_cast<int>(wp.trackNumber));
    bool closed = false;
    for (int attempt = 0; attempt < kCloseAttempts && !closed; ++attempt) {
        DevRequest request(this);
        request.direction = kRequestNoData;
        request.cdbLength = 10;
        request.cdb[0] = scsi::kCloseTrackSession;
        request.cdb[1] = 1;  // immediate: the drive answers before the track is closed
        request.cdb[2] = 1;
        request.cdb[5] = wp.trackNumber;
        const bool sent = Send(request);
        if (sent && request.senseKey == 0) {
            // Closed: wait until the drive has written it, and never send
            // the close again.
            closed = WaitForWriter(rec::kPollIntervalMs);
            if (!closed) break;
            continue;
        }
        TakeSense(request, true);
        // A drive still busy with the last write refuses the close: wait
        // and ask again. Any other refusal is final.
        if (!StillBusy(request) || !WaitForWriter(rec::kPollIntervalMs)) break;
    }
    if (closed && wp.testWrite && deviceRecord_->IsTestReset()) {
        const auto opcode = static_cast<uint8_t>(deviceRecord_->GetResetCmd());
        DevRequest reset(this);
        reset.direction = kRequestNoData;
        reset.cdbLength = opcode < 0x20 ? 6 : 12;
        reset.cdb[0] = opcode;
        if (opcode == 1) reset.cdb[5] = 0x40;
        if (!Send(reset) || reset.asc != 0) {
            TakeSense(reset, true);
            closed = false;
        }
    }
    if (!closed) {
        cmd::Log(*this, 1, "Error closing track %d: %02x %02x", static_cast<int>(wp.trackNumber), asc_, ascq_);
        wp.error = true;
        return false;
    }
    if (wp.testWrite) writeParameters_ = nullptr;
    if (closeSession) return CloseSession(wp);
    return true;
}

bool CDDevice::CloseSession(WriteParameters& wp) {
    if (!Writes(*deviceRecord_)) return false;
    cmd::Log(*this, 1, "Closing session");
    const bool immediate = !deviceRecord_->IsNoImmediateClose();
    DevRequest request(this);
    request.direction = kRequestNoData | kRequestLongTimeout;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kCloseTrackSession;
    request.cdb[1] = immediate ? 1 : 0;
    request.cdb[2] = wp.dvdPlusFormat ? 3 : 2;
    bool closed = Send(request) && request.senseKey == 0;
    if (!closed) TakeSense(request, true);
    // An immediate close returns while the drive writes the lead-out:
    // the session is closed once the drive is ready again.
    if (closed && immediate) closed = WaitForWriter(rec::kPollIntervalMs);
    if (!closed) {
        cmd::Log(*this, 1, "Error closing session: %02x %02x", asc_, ascq_);
        wp.error = true;
        return false;
    }
    return true;
}

bool CDDevice::ReserveTrack(WriteParameters& wp) {
    if (!Writes(*deviceRecord_)) return false;
    if (!InitWrite(wp)) return false;
    cmd::Log(*this, 1, "Reserving track of %d blocks", static_cast<int>(wp.reserveSize));
    int retriesLeft = kReserveAttempts;
    for (;;) {
        DevRequest request(this);
        request.direction = kRequestNoData;
        request.cdbLength = 10;
        request.cdb[0] = scsi::kReserveTrack;
        bytes::PutBe32(request.cdb + 5, wp.reserveSize);
        if (Send(request) && request.senseKey == 0) break;
        TakeSense(request, true);
        const bool becomingReady = request.asc == 0x04 && request.ascq == 0x01;
        const bool calibrating = request.asc == 0x09 || (request.asc == 0x73 && request.ascq == 0x03);
        if ((becomingReady || calibrating) && retriesLeft-- > 0 && WaitForWriter(rec::kPollIntervalMs)) {
            if (calibrating) TransportSleep(kReserveRetryMs);
            continue;
        }
        wp.error = true;
        return false;
    }
    if (debugLevel_ >= 1) {
        uint8_t info[rec::kInfoBytes] = {};
        if (ReadCDRWInfo(info, wp.trackNumber)) {
            cmd::Log(*this, 1, "%d block track %d reserved successfully", static_cast<int>(wp.reserveSize),
                     static_cast<int>(wp.trackNumber));
            cmd::Dump(*this, info, 28, "Reserved track information block");
        }
    }
    wp.trackStarted = true;
    return true;
}

bool CDDevice::RepairTrack(WriteParameters& wp) {
    if (!Writes(*deviceRecord_)) return false;
    DevRequest request(this);
    request.direction = kRequestNoData;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kRepairTrack;
    request.cdb[5] = wp.trackNumber;
    if (Send(request) && request.senseKey == 0) return true;
    TakeSense(request, true);
    cmd::Log(*this, 1, "Error repairing track: %02x %02x", asc_, ascq_);
    return false;
}

}  // namespace dravik::device
