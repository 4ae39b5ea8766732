// WRITE(10), WRITE(12), WRITE AND VERIFY(10) and SYNCHRONIZE CACHE of a
// recording drive. The write parameters page decides what a write makes:
// the track's mode, packets, and whether it is only a test write.
#include "platform/byte_order.h"
#include "vdrive/command.h"
#include "vdrive/recorder.h"

namespace dravik::vdrive {

namespace {

Sense Write(Command& c, int32_t lba, uint32_t count) {
    DriveState& s = c.state;
    const WriteSettings settings = SettingsFromPage(s.pages.Get(0x05, 0));
    const uint64_t bytes = uint64_t(count) * settings.blockBytes;
    if (bytes > 0 && (c.request.direction != platform::DataDirection::kOut || c.request.dataLength < bytes))
        return sense::kInvalidFieldInCdb;
    if (!s.disc->Recordable()) return sense::kIncompatibleMedium;
    if (s.recorder.writeBusyLeft > 0) {
        s.recorder.writeBusyLeft--;
        return sense::kLongWriteInProgress;
    }
    Sense result = RecordBlocks(*s.disc, s.recorder, settings, lba, count, c.request.data);
    if (result.key == 0) {
        c.transferred = size_t(bytes);
        s.recorder.writeBusyLeft = c.config.writeBusyPolls;
    }
    return result;
}

}  // namespace

Sense HandleWrite10(Command& c) { return Write(c, int32_t(bytes::GetBe32(c.cdb + 2)), bytes::GetBe16(c.cdb + 7)); }

Sense HandleWrite12(Command& c) { return Write(c, int32_t(bytes::GetBe32(c.cdb + 2)), bytes::GetBe32(c.cdb + 6)); }

// The drive's buffer is always empty: every write went straight to the disc.
Sense HandleSynchronizeCache(Command&) { return sense::kNone; }

}  // namespace dravik::vdrive
