// The medium classification of the device check: from the disc
// information, the ATIP, the TOC and the full TOC, the media type gains
// 0x10 (recordable), 0x20 (rewritable) or 0x02 (no data track); 1 marks a
// disc without ATIP descriptors. Each step runs only while the type is
// still below 0x10, and a failed step leaves it as far as it got.
//
// Replies are read only within their own length fields and the bytes asked
// for: a TOC whose length promises more descriptors than fit is cut.
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"

namespace dravik::device {

namespace {

using cmd::kDiscInfoBytes;
constexpr int kAtipBytes = 256;
constexpr int kTocBytes = 2048;
constexpr int kTocDescriptorBytes = 8;
constexpr int kFullTocDescriptorBytes = 11;
constexpr uint8_t kRecordable = 0x10, kRewritable = 0x20, kAudioOnly = 0x02, kNoAtip = 0x01;

// Bytes of a READ TOC reply that count: its length field plus the two
// bytes of that field, within what was asked for.
int TocReplyBytes(const unsigned char* reply, int asked) {
    return std::min(static_cast<int>(bytes::GetBe16(reply)) + 2, asked);
}

// Switches error reporting off for the classification and back after it:
// its failed steps are expected (a blank disc has no TOC) and tell the user
// nothing.
class QuietErrors {
public:
    QuietErrors(CDDevice& device, bool wasOn) : device_(device), wasOn_(wasOn) { device_.SetErrorMode(true); }
    ~QuietErrors() { device_.SetErrorMode(wasOn_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    CDDevice& device_;
    bool wasOn_;
};

}  // namespace

void CDDevice::ClassifyMedium() {
    QuietErrors quiet(*this, errorMode_);
    unsigned char* reply = workBuffer_.get();

    std::memset(reply, 0, kDiscInfoBytes);
    if (ReadCDRWInfo(reply, 0)) {
        const unsigned length = bytes::GetBe16(reply);
        if (length < 256) {
            cmd::Dump(*this, reply, std::min(static_cast<int>(length) + 2, kDiscInfoBytes), "Disc Information");
            if (reply[2] & 0x10)
                mediaType_ |= kRewritable;
            else if ((reply[2] & 0x03) != 2)
                mediaType_ |= kRecordable;  // not complete: something can still be written
        }
    }

    if (mediaType_ < 0x10) {
        std::memset(reply, 0, kAtipBytes);
        if (ReadCDToc(0x400, reply, kAtipBytes)) {
            const int bytes = TocReplyBytes(reply, kAtipBytes);
            cmd::Dump(*this, reply, bytes, "ATIP Data");
            // An ATIP descriptor has byte 6 bit 7 set. A reply without it
            // answers another format (drives that read the format from
            // byte 9 only, QEMU's ATAPI ones, give the TOC) and tells nothing.
            if (bytes::GetBe16(reply) == 2 || bytes < 7)
                mediaType_ = kNoAtip;  // no descriptor
            else if (reply[6] & 0x80)
                mediaType_ |= (reply[6] & 0x40) ? kRewritable : kRecordable;
        }
    }

    if (mediaType_ < 0x10) {
        std::memset(reply, 0, kTocBytes);
        if (!ReadCDToc(0, reply, kTocBytes)) {
            mediaType_ |= kRecordable;
        } else {
            const int bytes = TocReplyBytes(reply, kTocBytes);
            cmd::Dump(*this, reply, bytes, "TOC Mode 0");
            // Descriptors from byte 4; only those wholly inside the reply.
            const int n = std::min(static_cast<int>(bytes::GetBe16(reply)) / kTocDescriptorBytes,
                                   (bytes - 4) / kTocDescriptorBytes);
            if (n > 0 && reply[4 + kTocDescriptorBytes * (n - 1) + 2] != 0xAA) mediaType_ = kRecordable;
            bool dataTrack = false;
            for (int i = 0; i < n; ++i) {
                const unsigned char* d = reply + 4 + kTocDescriptorBytes * i;
                if (d[2] != 0xAA && (d[1] & 0x04)) dataTrack = true;
            }
            if (!dataTrack || n <= 0) mediaType_ |= kAudioOnly;
        }
    }

    if (mediaType_ < 0x10) {
        std::memset(reply, 0, kTocBytes);
        if (ReadCDToc(0x200, reply, kTocBytes)) {
            const int bytes = TocReplyBytes(reply, kTocBytes);
            cmd::Dump(*this, reply, bytes, "TOC Mode 2");
            for (int at = 4; at + kFullTocDescriptorBytes <= bytes; at += kFullTocDescriptorBytes) {
                const uint8_t point = reply[at + 3];
                if (point == 0xB0 || point == 0xC0) mediaType_ |= kRecordable;
            }
        }
    }
}

}  // namespace dravik::device
