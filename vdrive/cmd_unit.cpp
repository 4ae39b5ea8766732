// Identity and unit control: TEST UNIT READY, REQUEST SENSE, INQUIRY,
// START STOP UNIT, SET CD SPEED, READ CAPACITY, READ BUFFER.
#include <algorithm>

#include "platform/byte_order.h"
#include "vdrive/command.h"

namespace dravik::vdrive {

namespace {

void PutPadded(uint8_t* out, size_t width, const std::string& text) {
    for (size_t i = 0; i < width; ++i) out[i] = i < text.size() ? uint8_t(text[i]) : ' ';
}

}  // namespace

uint16_t CurrentProfile(const DriveConfig& config, const DriveState& state) {
    if (!state.disc) return 0;
    if (config.currentProfile >= 0) return uint16_t(config.currentProfile);
    switch (state.disc->medium) {
    case Medium::kCdR: return 0x0009;
    case Medium::kCdRw: return 0x000A;
    case Medium::kCdRom: return 0x0008;
    case Medium::kDvdPlusRw: return 0x001A;
    default: return 0;
    }
}

Sense HandleTestUnitReady(Command&) { return sense::kNone; }

Sense HandleRequestSense(Command& c) {
    DriveState& s = c.state;
    Sense report = s.deferredSense;
    if (!s.disc) {
        report = s.trayOpen ? sense::kNoMediumTrayOpen : sense::kNoMedium;
    } else if (s.notReadyLeft > 0) {
        s.notReadyLeft--;
        report = sense::kBecomingReady;
    } else if (s.unitAttention) {
        s.unitAttention = false;
        report = sense::kMediumChanged;
    }
    s.deferredSense = sense::kNone;
    std::vector<uint8_t> reply(kFixedSenseLength);
    WriteFixedSense(report, reply.data());
    return c.Reply(reply);
}

Sense HandleInquiry(Command& c) {
    const bool vitalProductData = c.cdb[1] & 0x01;
    const uint8_t page = c.cdb[2];
    if (vitalProductData) {
        if (page == 0x00) return c.Reply({0x05, 0x00, 0x00, 0x02, 0x00, 0x80});
        if (page == 0x80) {
            std::vector<uint8_t> reply{0x05, 0x80, 0x00, uint8_t(c.config.serial.size())};
            reply.insert(reply.end(), c.config.serial.begin(), c.config.serial.end());
            return c.Reply(reply);
        }
        return sense::kInvalidFieldInCdb;
    }
    if (page != 0) return sense::kInvalidFieldInCdb;
    std::vector<uint8_t> reply(36, 0);
    reply[0] = uint8_t(c.config.peripheralType & 0x1F);  // 5: CD/DVD device
    reply[1] = c.config.removable ? 0x80 : 0x00;
    reply[2] = uint8_t(c.config.ansiVersion >= 0 ? c.config.ansiVersion : (c.config.mmc ? 0 : 2));
    reply[3] = 0x02;  // response data format
    reply[4] = uint8_t(reply.size() - 5);
    PutPadded(&reply[8], 8, c.config.vendor);
    PutPadded(&reply[16], 16, c.config.product);
    PutPadded(&reply[32], 4, c.config.revision);
    return c.Reply(reply);
}

Sense HandleStartStopUnit(Command& c) {
    DriveState& s = c.state;
    const bool start = c.cdb[4] & 0x01;
    const bool loadEject = c.cdb[4] & 0x02;
    if (!loadEject) return sense::kNone;  // spinning up or down changes nothing here
    if (!start) {
        if (s.removalPrevented) return sense::kMediumRemovalPrevented;
        if (s.disc) s.ejected = std::move(s.disc);
        s.disc = nullptr;
        s.trayOpen = true;
        return sense::kNone;
    }
    if (!s.trayOpen) return sense::kNone;
    if (!c.config.canLoadTray) return sense::kMediumLoadFailed;
    s.trayOpen = false;
    s.disc = std::move(s.ejected);
    if (s.disc) {
        s.unitAttention = true;
        s.notReadyLeft = c.config.notReadyCommands;
    }
    return sense::kNone;
}

Sense HandleSetCdSpeed(Command& c) {
    const uint32_t requested = bytes::GetBe16(c.cdb + 2);
    // 0xFFFF asks for the fastest speed; nothing reads slower than 1x.
    uint32_t speed = requested == 0xFFFF ? c.config.maxReadSpeedKBps : std::max<uint32_t>(requested, 176);
    speed = std::min(speed, c.config.maxReadSpeedKBps);
    c.state.readSpeedKBps = speed;
    c.state.pages.SetCurrentReadSpeed(speed);
    // Bytes 4-5 the write speed, in the same unit; 0xFFFF the fastest.
    const uint32_t write = bytes::GetBe16(c.cdb + 4);
    const uint32_t writeSpeed = write == 0xFFFF ? c.config.maxWriteSpeedKBps : std::max<uint32_t>(write, 176);
    c.state.pages.SetCurrentWriteSpeed(std::min(writeSpeed, c.config.maxWriteSpeedKBps));
    return sense::kNone;
}

Sense HandleReadCapacity(Command& c) {
    const bool partialMedium = c.cdb[8] & 0x01;
    if (!partialMedium && bytes::GetBe32(c.cdb + 2) != 0) return sense::kInvalidFieldInCdb;
    DiscView view(c.disc());
    int32_t last = 0;
    const Disc& d = c.disc();
    for (auto it = d.sessions.rbegin(); it != d.sessions.rend(); ++it)
        if (it->closed) {
            last = it->leadOut - 1;
            break;
        }
    if (last == 0 && !d.tracks.empty() && view.ClosedSessionCount() == 0) last = view.RecordedEnd() - 1;
    std::vector<uint8_t> reply(8, 0);
    bytes::PutBe32(&reply[0], uint32_t(std::max(last, 0)));
    bytes::PutBe32(&reply[4], 2048);
    return c.Reply(reply);
}

Sense HandleReadBuffer(Command& c) {
    const uint8_t mode = c.cdb[1] & 0x1F;
    if (c.cdb[2] != 0 || bytes::GetBe24(c.cdb + 3) != 0) return sense::kInvalidFieldInCdb;  // one buffer, offset 0
    const uint32_t capacity = c.config.bufferKB * 1024;
    std::vector<uint8_t> reply(4, 0);
    if (mode == 0x00) {  // combined header and data: the header gives the capacity
        bytes::PutBe24(&reply[1], capacity);
    } else if (mode == 0x03) {  // descriptor: offset boundary, then capacity
        bytes::PutBe24(&reply[1], capacity);
    } else {
        return sense::kInvalidFieldInCdb;
    }
    return c.Reply(reply);
}

}  // namespace dravik::vdrive
