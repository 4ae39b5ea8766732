#include "device/cddevice/mode_page_walk.h"

#include <algorithm>
#include <cstring>

#include "device/ddb/ddb_info.h"
#include "platform/byte_order.h"

namespace dravik::device::verify {

namespace {

// Below this total the answer is read as having the 8-byte header.
constexpr int kLongHeaderLimit = 512;
constexpr uint16_t kNoBufferSize = 0xFFFF;  // BufSz of -1: not known yet
constexpr int kTrayStateMediumType = 0x70;

// The bytes of one page that are actually there.
class Page {
public:
    Page(const uint8_t* bytes, int available, int declaredLength)
        : bytes_(bytes), available_(available), length_(declaredLength) {}
    bool Has(int i) const { return i >= 0 && i < available_; }
    uint8_t At(int i) const { return Has(i) ? bytes_[i] : 0; }
    int Length() const { return length_; }  // the page length byte
    int Available() const { return available_; }
    const uint8_t* Bytes() const { return bytes_; }

private:
    const uint8_t* bytes_;
    int available_;
    int length_;
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Pages 0x0F, 0x20 and 0x23 carry the speed of their own method.
void VendorSpeedPage(const Page& page, uint8_t ownMethod, int speedByte, PageFindings& out) {
    if (out.method != kNoSpeedMethod && out.method != ownMethod) return;
    if (!page.Has(speedByte)) return;
    out.method = ownMethod;
    out.driveSpeed = page.At(speedByte);
}

void CapabilitiesPage(const Page& page, DDBInfo& record, PageFindings& out) {
    if (page.Length() > 4 && page.Has(6)) {
        const uint8_t audio = page.At(5);
        record.SetMMC((audio & 0x01) != 0);
        record.SetCDDAGood((audio & 0x02) != 0);
        record.SetSubRWAvail((audio & 0x04) != 0);
        record.SetSubRWDeinter((audio & 0x08) != 0);
        if (record.GetMechType() == 0) record.SetMechType(page.At(6) >> 5);
        if (record.GetBufferSize() == kNoBufferSize && page.Has(13))
            record.SetBufferSize(static_cast<int>(bytes::GetBe16(page.Bytes() + 12)));
    }
    if (out.method == kNoSpeedMethod) out.method = 0;
    if (page.Length() > 14 && page.Has(15)) out.driveSpeed = static_cast<int>(bytes::GetBe16(page.Bytes() + 14) * 10 / 1765);
    out.capabilitiesKnown = true;
    out.capabilityBytes = std::min({page.Length() + 2, kCapabilityBytes, page.Available()});
    std::memcpy(out.capabilities, page.Bytes(), static_cast<size_t>(out.capabilityBytes));
}

}  // namespace

ModeHeader ReadModeHeader(const uint8_t* data, int received) {
    ModeHeader h;
    if (received < 4) return h;
    h.total = static_cast<int>(bytes::GetBe16(data)) + 2;
    if (h.total < kLongHeaderLimit) {
        if (received < 8) {
            h.total = 0;
            return h;
        }
        h.firstPage = 8 + data[7];
        h.mediumType = data[2];
        if (data[7] != 0 && received >= 16) h.sectorSize = static_cast<int>(bytes::GetBe16(data + 14));
    } else {
        h.total = data[0] + 1;
        h.firstPage = 4 + data[3];
        h.mediumType = data[1];
        if (data[3] != 0 && received >= 12) h.sectorSize = static_cast<int>(bytes::GetBe16(data + 10));
    }
    return h;
}

PageFindings WalkModePages(const uint8_t* data, int first, int end, uint8_t method, const std::string& deviceName,
                           DDBInfo& record) {
    PageFindings out;
    out.method = method;
    end = std::min(end, kModeSenseBytes);
    // A page needs its code and length bytes; what its length promises
    // beyond the answer is not there and is not read.
    for (int offset = first; offset >= 0 && offset + 2 <= end;) {
        const int length = data[offset + 1];
        const Page page(data + offset, std::min(length + 2, end - offset), length);
        switch (data[offset] & 0x3F) {
        case 0x01:
            if (page.Has(3)) out.hardwareRetry = page.At(3);
            break;
        case 0x05:
            out.recorder = true;
            break;
        case 0x0D:
            if (page.Has(3)) out.inactivityMultiplier = page.At(3);
            break;
        case 0x0F:
            VendorSpeedPage(page, 4, 2, out);
            break;
        case 0x20:
            VendorSpeedPage(page, 2, 2, out);
            break;
        case 0x23:
            VendorSpeedPage(page, 5, 4, out);
            break;
        case 0x31:
            if (!page.Has(2)) break;
            if (out.method == 1 || out.method == 3 || out.method == 6) {
                out.driveSpeed = page.At(2);
            } else if (out.method == kNoSpeedMethod) {
                out.driveSpeed = page.At(2);
                out.method = StartsWith(deviceName, "PLEXTOR") ? 6 : StartsWith(deviceName, "YAMAHA") ? 1 : 3;
            }
            break;
        case 0x2A:
            CapabilitiesPage(page, record, out);
            break;
        default:
            break;
        }
        offset += length + 2;
    }
    return out;
}

int GatherModeAnswer(uint8_t* gathered, int used, const uint8_t* answer, int received) {
    const ModeHeader header = ReadModeHeader(answer, received);
    if (header.total == 0) return used;
    constexpr int kHeaderBytes = 8, kDescriptorBytes = 8;
    if (used < kHeaderBytes) {
        std::memset(gathered, 0, kHeaderBytes + kDescriptorBytes);
        // Medium types from 0x70 name the tray (door closed, no disc) in
        // the older code set; QEMU's ATAPI drives give 0x70 on every
        // single-page answer, disc or not, so it tells nothing here.
        if (header.mediumType < kTrayStateMediumType) gathered[2] = static_cast<uint8_t>(header.mediumType);
        used = kHeaderBytes;
        if (header.sectorSize >= 0) {
            gathered[7] = kDescriptorBytes;
            bytes::PutBe16(gathered + kHeaderBytes + 6, static_cast<uint16_t>(header.sectorSize));
            used += kDescriptorBytes;
        }
    }
    const int end = std::min({header.total, received, kModeSenseBytes});
    for (int offset = header.firstPage; offset >= 0 && offset + 2 <= end;) {
        const int pageBytes = answer[offset + 1] + 2;
        if (offset + pageBytes > end || used + pageBytes > kGatheredBytesLimit) break;
        std::memcpy(gathered + used, answer + offset, static_cast<size_t>(pageBytes));
        used += pageBytes;
        offset += pageBytes;
    }
    bytes::PutBe16(gathered, static_cast<uint16_t>(used - 2));
    return used;
}

}  // namespace dravik::device::verify
