// MODE SENSE and MODE SELECT, 6- and 10-byte forms.
#include "platform/byte_order.h"
#include "vdrive/command.h"

namespace dravik::vdrive {

namespace {

uint8_t MediumTypeByte(const Command& c) {
    if (c.config.mmc) return 0x00;
    // Older drives name the disc's content: 1 data, 2 audio, 3 mixed; 0x70 no disc.
    if (!c.state.disc) return 0x70;
    bool data = false, audio = false;
    for (const Track& t : c.disc().tracks) (t.IsData() ? data : audio) = true;
    return uint8_t((data ? 1 : 0) | (audio ? 2 : 0));
}

Sense ModeSense(Command& c, bool tenByte) {
    const bool noBlockDescriptor = c.cdb[1] & 0x08;
    const int pageControl = c.cdb[2] >> 6;
    const uint8_t pageCode = c.cdb[2] & 0x3F;
    if (c.cdb[3] != 0) return sense::kInvalidFieldInCdb;  // no subpages
    if (pageControl == 3) return sense::kSavingNotSupported;

    std::vector<uint8_t> pages;
    if (pageCode == 0x3F) {
        if (!c.config.allPagesAnswered) return sense::kInvalidFieldInCdb;
        for (uint8_t code : c.state.pages.Codes()) {
            std::vector<uint8_t> p = c.state.pages.Get(code, pageControl);
            pages.insert(pages.end(), p.begin(), p.end());
        }
    } else {
        if (!c.state.pages.Has(pageCode)) return sense::kInvalidFieldInCdb;
        pages = c.state.pages.Get(pageCode, pageControl);
    }

    std::vector<uint8_t> descriptor;
    if (!noBlockDescriptor) {
        descriptor.assign(8, 0);
        descriptor[0] = c.state.density;
        bytes::PutBe24(&descriptor[5], c.state.blockLength);
    }
    std::vector<uint8_t> reply(tenByte ? 8 : 4, 0);
    const size_t total = reply.size() + descriptor.size() + pages.size();
    if (tenByte) {
        bytes::PutBe16(&reply[0], uint32_t(total - 2));
        reply[2] = MediumTypeByte(c);
        bytes::PutBe16(&reply[6], uint32_t(descriptor.size()));
    } else {
        reply[0] = uint8_t(total - 1 > 255 ? 255 : total - 1);
        reply[1] = MediumTypeByte(c);
        reply[3] = uint8_t(descriptor.size());
    }
    reply.insert(reply.end(), descriptor.begin(), descriptor.end());
    reply.insert(reply.end(), pages.begin(), pages.end());
    return c.Reply(reply);
}

Sense ModeSelect(Command& c, bool tenByte) {
    if (c.cdb[1] & 0x01) return sense::kInvalidFieldInCdb;  // saving pages is not supported
    const size_t length = c.allocation;
    c.transferred = length;
    if (length == 0) return sense::kNone;
    const uint8_t* list = c.Buffer();
    const size_t headerSize = tenByte ? 8 : 4;
    if (length < headerSize) return sense::kParameterListLengthError;
    const size_t descriptorLength = tenByte ? bytes::GetBe16(list + 6) : list[3];
    if (descriptorLength != 0 && descriptorLength != 8) return sense::kInvalidFieldInParameterList;
    if (headerSize + descriptorLength > length) return sense::kParameterListLengthError;

    uint8_t density = c.state.density;
    uint32_t blockLength = c.state.blockLength;
    if (descriptorLength == 8) {
        const uint8_t* d = list + headerSize;
        density = d[0];
        blockLength = bytes::GetBe24(d + 5);
        if (blockLength != 2048 && blockLength != 2352) return sense::kInvalidFieldInParameterList;
    }
    // Check every page before changing anything, then apply them all.
    ModePages next = c.state.pages;
    size_t at = headerSize + descriptorLength;
    while (at < length) {
        if (length - at < 2) return sense::kParameterListLengthError;
        const size_t pageLength = size_t(list[at + 1]) + 2;
        if (pageLength > length - at) return sense::kParameterListLengthError;
        Sense s = next.Select(list + at, pageLength);
        if (s.key) return s;
        at += pageLength;
    }
    c.state.pages = next;
    c.state.density = density;
    c.state.blockLength = blockLength;
    return sense::kNone;
}

}  // namespace

Sense HandleModeSense6(Command& c) { return ModeSense(c, false); }
Sense HandleModeSense10(Command& c) { return ModeSense(c, true); }
Sense HandleModeSelect6(Command& c) { return ModeSelect(c, false); }
Sense HandleModeSelect10(Command& c) { return ModeSelect(c, true); }

}  // namespace dravik::vdrive
