#include "vdrive/mode_pages.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace dravik::vdrive {

namespace {

std::vector<uint8_t> DefaultPage(uint8_t code, const DriveConfig& config) {
    switch (code) {
    case 0x01:  // read error recovery: 5 read retries, 5 write retries
        return {0x01, 0x0A, 0x00, 0x05, 0, 0, 0, 0, 0x05, 0, 0, 0};
    case 0x05: {  // write parameters: track at once, data mode 1
        std::vector<uint8_t> p(52, 0);
        p[0] = 0x05;
        p[1] = 0x32;
        p[2] = 0x01;  // write type TAO
        p[3] = 0x04;  // track mode: data
        p[4] = 0x08;  // data block type: mode 1
        p[8] = 0x00;  // session format CD-DA/CD-ROM
        bytes::PutBe16(&p[10], 0);
        return p;
    }
    case 0x03:  // Mount Rainier: byte 3 bit 0 chooses the general application address space
        return {0x03, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    case 0x0D:  // CD device parameters: inactivity multiplier, 60 S per M, 75 F per S
        return {0x0D, 0x06, 0x00, 0x0D, 0x00, 0x3C, 0x00, 0x4B};
    case 0x2A: {
        std::vector<uint8_t> p(28, 0);
        p[0] = 0x2A;
        p[1] = 0x1A;
        p[2] = 0x03;  // reads CD-R and CD-RW
        p[3] = 0x03;  // writes CD-R and CD-RW
        p[4] = 0x71;  // audio play, mode 2 form 1 and 2, multi-session
        p[5] = 0x03;  // CD-DA commands supported, CD-DA stream accurate
        p[6] = uint8_t((config.canLoadTray ? 1 : 2) << 5 | 0x08 | 0x01);  // mechanism, eject, lock
        p[7] = 0x03;  // separate volume and mute
        bytes::PutBe16(&p[8], config.maxReadSpeedKBps);
        bytes::PutBe16(&p[10], 256);  // volume levels
        bytes::PutBe16(&p[12], config.bufferKB);  // buffer size (KB)
        bytes::PutBe16(&p[14], config.maxReadSpeedKBps);
        bytes::PutBe16(&p[18], 1764);  // maximum write speed (10x)
        bytes::PutBe16(&p[20], 1764);
        return p;
    }
    case 0x31:  // vendor speed page: byte 2 the speed
        return {0x31, 0x06, 0x28, 0x00, 0x00, 0x00, 0x00, 0x00};
    default:
        return {};
    }
}

// Bytes (from byte 2 on) a MODE SELECT may change, as 0xFF masks.
std::vector<uint8_t> ChangeableMask(const std::vector<uint8_t>& page) {
    std::vector<uint8_t> mask(page.size(), 0);
    if (page.empty()) return mask;
    // A page may be as short as its two header bytes (a description can
    // give it so): bytes past its end are not there to change.
    const auto set = [&mask](size_t at, uint8_t value) {
        if (at < mask.size()) mask[at] = value;
    };
    set(0, page[0] & 0x3F);
    set(1, page.size() > 1 ? page[1] : 0);
    switch (page[0] & 0x3F) {
    case 0x01:
        set(2, 0xFF);
        set(3, 0xFF);
        set(8, 0xFF);
        break;
    case 0x05:
    case 0x31:
        for (size_t i = 2; i < mask.size(); ++i) mask[i] = 0xFF;
        break;
    case 0x0D:
        set(3, 0x0F);
        break;
    case 0x03:
        set(3, 0x01);
        break;
    default:
        break;
    }
    return mask;
}

}  // namespace

void ModePages::Init(const DriveConfig& config) {
    current_.clear();
    defaults_.clear();
    changeable_.clear();
    std::vector<uint8_t> codes = config.pageCodes;
    if (codes.empty()) codes = config.mmc ? std::vector<uint8_t>{0x01, 0x0D, 0x2A} : std::vector<uint8_t>{0x01, 0x0D};
    if (config.mrw && std::find(codes.begin(), codes.end(), uint8_t{0x03}) == codes.end()) codes.insert(codes.begin(), 0x03);
    for (uint8_t code : codes) {
        auto given = config.pageBytes.find(code);
        std::vector<uint8_t> page = given != config.pageBytes.end() ? given->second : DefaultPage(code, config);
        if (page.size() < 2) continue;
        page[0] = code;  // the PS bit is never set in what the drive answers
        page.resize(size_t(page[1]) + 2, 0);
        defaults_[code] = page;
        current_[code] = page;
        changeable_[code] = ChangeableMask(page);
    }
    // Pages given without being listed still exist.
    for (const auto& [code, bytes] : config.pageBytes) {
        if (current_.count(code) || bytes.size() < 2) continue;
        std::vector<uint8_t> page = bytes;
        page[0] = code;
        page.resize(size_t(page[1]) + 2, 0);
        defaults_[code] = current_[code] = page;
        changeable_[code] = ChangeableMask(page);
    }
}

std::vector<uint8_t> ModePages::Codes() const {
    std::vector<uint8_t> codes;
    for (const auto& entry : current_) codes.push_back(entry.first);
    return codes;
}

std::vector<uint8_t> ModePages::Get(uint8_t code, int pageControl) const {
    const auto& source = pageControl == 1 ? changeable_ : pageControl == 2 ? defaults_ : current_;
    auto it = source.find(code);
    return it == source.end() ? std::vector<uint8_t>{} : it->second;
}

Sense ModePages::Select(const uint8_t* page, size_t length) {
    const uint8_t code = page[0] & 0x3F;
    auto it = current_.find(code);
    if (it == current_.end() || length != it->second.size() || page[1] != it->second[1])
        return sense::kInvalidFieldInParameterList;
    const std::vector<uint8_t>& mask = changeable_[code];
    std::vector<uint8_t> next = it->second;
    for (size_t i = 2; i < length; ++i) {
        if ((page[i] & ~mask[i]) != (next[i] & ~mask[i])) return sense::kInvalidFieldInParameterList;
        next[i] = uint8_t((next[i] & ~mask[i]) | (page[i] & mask[i]));
    }
    it->second = next;
    return sense::kNone;
}

void ModePages::SetCurrentReadSpeed(uint32_t kbps) {
    auto it = current_.find(0x2A);
    if (it != current_.end() && it->second.size() >= 16) bytes::PutBe16(&it->second[14], kbps);
}

void ModePages::SetCurrentWriteSpeed(uint32_t kbps) {
    auto it = current_.find(0x2A);
    if (it != current_.end() && it->second.size() >= 22) bytes::PutBe16(&it->second[20], kbps);
}

}  // namespace dravik::vdrive
