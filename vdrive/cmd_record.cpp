// The recorder's commands besides the writes: CLOSE TRACK/SESSION, RESERVE
// TRACK, REPAIR TRACK, BLANK, FORMAT UNIT (the DVD+RW background format),
// SEND OPC INFORMATION, READ BUFFER CAPACITY and SEND DVD STRUCTURE.
// Commands with the immediate bit return at once and leave the drive busy
// for the configured number of polls, as a real recorder is while it
// writes a lead-out or blanks a disc.
#include "platform/byte_order.h"
#include "vdrive/command.h"
#include "vdrive/recorder.h"

namespace dravik::vdrive {

namespace {

WriteSettings Settings(const Command& c) { return SettingsFromPage(c.state.pages.Get(0x05, 0)); }

void BusyAfter(Command& c, bool immediate, const Sense& busy) {
    if (!immediate || c.config.busyPolls <= 0) return;
    c.state.recorder.busyLeft = c.config.busyPolls;
    c.state.recorder.busySense = busy;
}

bool IsDvdPlusRw(const Command& c) { return c.disc().medium == Medium::kDvdPlusRw; }

}  // namespace

Sense HandleCloseTrackSession(Command& c) {
    const bool immediate = c.cdb[1] & 0x01;
    const int function = c.cdb[2] & 0x07;
    Disc& disc = *c.state.disc;
    if (IsDvdPlusRw(c)) {
        // Closing a DVD+RW session stops a running background format; it
        // can be restarted later.
        if (function != 2 && function != 3) return sense::kInvalidFieldInCdb;
        if (disc.format == BackgroundFormat::kRunning) disc.format = BackgroundFormat::kStopped;
        BusyAfter(c, immediate, sense::kLongWriteInProgress);
        return sense::kNone;
    }
    if (!disc.Recordable()) return sense::kIncompatibleMedium;
    const WriteSettings settings = Settings(c);
    Sense result;
    if (function == 1) {
        result = settings.testWrite ? sense::kNone : CloseTrack(disc, int(bytes::GetBe16(c.cdb + 4)));
    } else if (function == 2) {
        result = settings.testWrite ? sense::kNone : CloseSession(disc, settings.multiSession);
    } else {
        return sense::kInvalidFieldInCdb;
    }
    if (result.key == 0) BusyAfter(c, immediate, sense::kLongWriteInProgress);
    return result;
}

Sense HandleReserveTrack(Command& c) {
    if (!c.disc().Recordable()) return sense::kIncompatibleMedium;
    return ReserveTrack(*c.state.disc, Settings(c), int32_t(bytes::GetBe32(c.cdb + 5)));
}

Sense HandleRepairTrack(Command& c) {
    const Disc& d = c.disc();
    if (!d.Recordable()) return sense::kIncompatibleMedium;
    const int number = int(bytes::GetBe16(c.cdb + 4));
    const Track* t = DiscView(d).TrackByNumber(number);
    // Only an incomplete track can be repaired; a healthy one needs nothing.
    if (!t || !t->incomplete) return sense::kInvalidFieldInCdb;
    return sense::kNone;
}

Sense HandleBlank(Command& c) {
    const bool immediate = c.cdb[1] & 0x10;
    Sense result = BlankDisc(*c.state.disc, c.cdb[1] & 0x07, int(bytes::GetBe32(c.cdb + 2)));
    if (result.key == 0) BusyAfter(c, immediate, sense::kLongWriteInProgress);
    return result;
}

// FORMAT UNIT with a parameter list: a 4-byte header (byte 1 bit 1
// immediate, bytes 2-3 list length) and one 8-byte descriptor (bytes 0-3
// blocks, byte 4 bits 7-2 format type, bit 0 restart a stopped DVD+RW
// background format).
Sense HandleFormatUnit(Command& c) {
    if ((c.cdb[1] & 0x17) != 0x11) return sense::kInvalidFieldInCdb;  // format data, format code 1
    if (c.request.direction != platform::DataDirection::kOut || c.request.dataLength < 12 || !c.request.data)
        return sense::kParameterListLengthError;
    const uint8_t* list = c.request.data;
    c.transferred = 12;
    if (bytes::GetBe16(list + 2) != 8) return sense::kParameterListLengthError;
    const bool immediate = list[1] & 0x02;
    const uint8_t type = list[8] >> 2;
    const bool restart = list[8] & 0x01;
    Disc& disc = *c.state.disc;
    if (!IsDvdPlusRw(c) || type != 0x26) return sense::kIncompatibleMedium;
    if (restart && disc.format != BackgroundFormat::kStopped) return Sense{0x05, 0x2C, 0x00};  // command sequence error
    if (disc.format == BackgroundFormat::kRunning) return Sense{0x02, 0x04, 0x04};
    disc.format = BackgroundFormat::kRunning;
    BusyAfter(c, immediate, sense::kFormatInProgress);
    return sense::kNone;
}

Sense HandleSendOpcInformation(Command& c) {
    c.transferred = c.allocation;
    return sense::kNone;
}

// Bytes 4-7 the buffer's size and 8-11 its free part, in bytes; with the
// block bit only bytes 8-11, in 2048-byte blocks. The buffer is always
// empty: the drive writes what it takes at once.
Sense HandleReadBufferCapacity(Command& c) {
    const bool blocks = c.cdb[1] & 0x01;
    const uint32_t size = c.config.bufferKB * 1024;
    std::vector<uint8_t> reply(12, 0);
    bytes::PutBe16(&reply[0], 10);
    if (blocks) {
        reply[7] = 0x01;
        bytes::PutBe32(&reply[8], size / 2048);
    } else {
        bytes::PutBe32(&reply[4], size);
        bytes::PutBe32(&reply[8], size);
    }
    return c.Reply(reply);
}

// SEND DVD STRUCTURE: a DVD+RW takes the time stamp of its recording
// management area; nothing else is kept.
Sense HandleSendDvdStructure(Command& c) {
    c.transferred = c.allocation;
    if (!IsDvdPlusRw(c)) return sense::kIncompatibleMedium;
    return c.cdb[7] == 0x0F ? sense::kNone : sense::kInvalidFieldInCdb;
}

}  // namespace dravik::vdrive
