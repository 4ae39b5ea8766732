// Data writes and what follows them: the write command in the record's
// form, its busy answers, the cache flush with the next writable address,
// and polling a recorder until it is ready again. No wait here is longer
// than the writer time-out, and the abort flag ends every one.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/cddevice/recording_support.h"
#include "device/cddevice/write_parameters.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "device/transport/device_intf.h"
#include "device/transport/transport_timing.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kTransportAttempts = 5;
constexpr int kExtraAttemptsAfterReopen = 10;
// System error codes a transport reports with sense key 254.
constexpr int kErrorBusy = 170;
constexpr int kErrorIoAborted = 1235;

// Time spent in a wait: what the clock shows, or what was slept when the
// sleeps are faster than the clock (tests replace them).
class WaitClock {
public:
    WaitClock() : start_(std::chrono::steady_clock::now()) {}
    void Sleep(uint32_t ms) {
        TransportSleep(ms);
        slept_ += ms;
    }
    int64_t Elapsed() const {
        const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
        return std::max<int64_t>(wall.count(), slept_);
    }

private:
    std::chrono::steady_clock::time_point start_;
    int64_t slept_ = 0;
};

}  // namespace

bool CDDevice::PollWriter() {
    SetSense(0, 0, 0);
    uint8_t info[rec::kInfoBytes] = {};
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = info;
    request.dataLength = 28;
    request.cdbLength = 10;
    request.cdb[0] = static_cast<uint8_t>(deviceRecord_->GetTrackInfoCmd());
    request.cdb[1] = 1;
    const bool ownTrack = writeParameters_ && writeParameters_->trackStarted;
    request.cdb[5] = ownTrack ? writeParameters_->trackNumber : 1;
    request.cdb[8] = 28;
    if (Send(request, false)) {
        DevRequest ready(this);
        ready.direction = kRequestNoData;
        ready.cdbLength = 6;
        ready.cdb[0] = scsi::kTestUnitReady;
        if (Send(ready, false)) return true;
        TakeSense(ready, true);
    } else {
        TakeSense(request, true);
    }
    // An answer that is no "not ready" (an invalid field, a transport
    // failure) means the drive is no longer busy with the write.
    return asc_ == 0x24 || senseKey_ == kSenseSystemError;
}

bool CDDevice::WaitForWriter(int intervalMs, int* polls) {
    WaitClock clock;
    int count = 0;
    bool ready = false;
    for (;;) {
        ++count;
        if (PollWriter()) {
            ready = true;
            break;
        }
        if (IsAbortSet() || clock.Elapsed() >= writerTimeoutMs_) break;
        clock.Sleep(static_cast<uint32_t>(intervalMs));
    }
    if (polls) *polls = count;
    if (!ready) cmd::Log(*this, 1, "Drive still busy after %d polls: %02x %02x %02x", count, senseKey_, asc_, ascq_);
    return ready;
}

bool CDDevice::WriteData(WriteParameters& wp, void* buf, int bytesToWrite) {
    if (wp.error) return false;
    if (wp.currentWriteAddress == -1) wp.currentWriteAddress = wp.nextWritableAddress;
    const unsigned form = deviceRecord_->GetWriteFormat();
    if ((form != 1 && form != 2) || wp.blockSize <= 0 || bytesToWrite < 0) {
        SetSense(5, 0x20, 0);
        return false;
    }
    const uint32_t blocks = static_cast<uint32_t>(bytesToWrite / wp.blockSize);
    uint8_t opcode = static_cast<uint8_t>(deviceRecord_->GetWriteCmd());
    if (dvdDisc_ && dvdPlusDisc_ && !dvdPlusR_ && wp.verifyWrites) opcode = scsi::kWriteVerify10;

    WaitClock clock;
    int attemptsLeft = kTransportAttempts;
    int attempt = 0;
    bool reopened = false;
    for (;;) {
        DevRequest request(this);
        request.direction = kRequestDataOut;
        request.buffer = buf;
        request.dataLength = static_cast<uint32_t>(bytesToWrite);
        request.cdb[0] = opcode;
        bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(wp.currentWriteAddress));
        if (form == 1 || opcode == scsi::kWriteVerify10) {
            request.cdbLength = 10;
            bytes::PutBe16(request.cdb + 7, blocks);
        } else {
            request.cdbLength = 12;
            bytes::PutBe16(request.cdb + 8, blocks);
        }
        if (Send(request)) {
            wp.trackStarted = true;
            wp.currentWriteAddress += static_cast<int32_t>(blocks);
            return true;
        }
        TakeSense(request, true);
        if (IsAbortSet() || clock.Elapsed() >= writerTimeoutMs_) return false;
        if (request.senseKey == 2 && request.asc == 0x04 && (request.ascq == 0x04 || request.ascq == 0x08)) {
            // Format or long write in progress: the drive takes the data
            // once it has room. These waits use no attempt.
            uint32_t wait = 250;
            if (request.ascq == 0x08) wait = wp.writeSpeed == 8 ? 110 : wp.writeSpeed == 4 ? 220 : 50;
            clock.Sleep(wait);
            continue;
        }
        if (request.senseKey != kSenseSystemError || attemptsLeft-- <= 0) return false;
        ++attempt;
        const int code = request.asc + 256 * request.ascq;
        if (code == kErrorBusy) {
            if (attempt == 3 && !reopened) {
                cmd::Log(*this, 1, "Closing device to retry error 170");
                if (transport_) transport_->CloseDevice();
                attemptsLeft += kExtraAttemptsAfterReopen;
                reopened = true;
            }
            clock.Sleep(500);
        } else if (code == kErrorIoAborted) {
            clock.Sleep(60);
        } else {
            return false;
        }
    }
}

bool CDDevice::SynchronizeCache(WriteParameters& wp) {
    const unsigned form = deviceRecord_->GetWriteFormat();
    if (form != 1 && form != 2) return false;
    DevRequest request(this);
    request.direction = kRequestNoData;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kSynchronizeCache;
    if (wp.packetWriting) bytes::PutBe16(request.cdb + 7, wp.packetSize & 0xFFFF);
    if (!Send(request) || request.senseKey != 0) {
        TakeSense(request, true);
        cmd::Log(*this, 1, "Synchronize cache error, sense=%02x %02x", request.asc, request.ascq);
        // The write stops here: where the drive will write next is unknown.
        wp.error = true;
        return false;
    }
    if (wp.packetWriting && !wp.dvdPlusFormat) {
        if (!WaitForWriter(rec::kPollIntervalMs)) {
            wp.error = true;
            return false;
        }
        uint8_t info[rec::kInfoBytes] = {};
        const int track = wp.trackNumber ? wp.trackNumber : 255;
        if (!ReadCDRWInfo(info, track) || !(info[7] & 0x01)) {
            // No next writable address to be had: guessing one would write
            // over or past what the drive recorded, so the write fails.
            cmd::Log(*this, 1, "Synchronize cache: no next writable address for track %d: %02x %02x", track, asc_, ascq_);
            wp.error = true;
            return false;
        }
        wp.currentWriteAddress = static_cast<int32_t>(bytes::GetBe32(info + 12));
    }
    cmd::Log(*this, 1, "Synchronize cache, next block at %d", static_cast<int>(wp.currentWriteAddress));
    return true;
}

}  // namespace dravik::device
