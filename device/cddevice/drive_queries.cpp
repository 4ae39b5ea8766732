// Drive queries: INQUIRY, READ DVD STRUCTURE and the DVD-R manufacturer
// text, READ FORMAT CAPACITIES and the drive's serial number.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "device/transport/transport_timing.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kInquiryBytes = 128;
constexpr int kInquiryAttempts = 100;
constexpr uint32_t kInquiryPauseMs = 25;

constexpr uint32_t kStructureBytes = 2048;
constexpr uint32_t kPrePitStart = 26;  // first copy of the pre-pit fields in the RMD
constexpr int kSerialAnswerBytes = 128;
constexpr int kMaxSerialForms = 3;

// Copies text into buf, len counting the terminating zero.
bool CopyOut(char* buf, int len, const std::string& text) {
    if (buf == nullptr || len <= 0) return false;
    const size_t count = std::min(text.size(), static_cast<size_t>(len - 1));
    std::memcpy(buf, text.data(), count);
    buf[count] = '\0';
    return true;
}

// Text from bytes up to the first zero, within `size`.
std::string TextOf(const unsigned char* bytes, size_t size) {
    size_t n = 0;
    while (n < size && bytes[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

}  // namespace

bool CDDevice::Inquiry(unsigned char* buf) {
    if (buf == nullptr) {
        SetSense(5, 0x24, 0);
        return false;
    }
    for (int attempt = 1;; ++attempt) {
        std::memset(buf, 0, kInquiryBytes);
        DevRequest request(this);
        request.direction = kRequestDataIn;
        request.buffer = buf;
        request.dataLength = kInquiryBytes;
        request.cdbLength = 6;
        request.cdb[0] = scsi::kInquiry;
        request.cdb[4] = kInquiryBytes;
        if (Send(request)) {
            cmd::Dump(*this, buf, kInquiryBytes, "Inquiry results from device");
            return true;
        }
        TakeSense(request);
        if (attempt >= kInquiryAttempts) break;
        TransportSleep(kInquiryPauseMs);
    }
    cmd::Log(*this, 1, "Inquiry to %s failed", GetDeviceId());
    return false;
}

bool CDDevice::GetDVDStructure(int format, int layer, char* buf, int len) {
    if (buf == nullptr || len < 0 || len > 0xFFFF) {
        SetSense(5, 0x24, 0);
        return false;
    }
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(len);
    request.cdbLength = 12;
    request.cdb[0] = scsi::kReadDiscStructure;
    if (format == 0x30 && len >= 4) std::memcpy(request.cdb + 2, buf, 4);
    request.cdb[6] = static_cast<uint8_t>(layer);
    request.cdb[7] = static_cast<uint8_t>(format);
    bytes::PutBe16(request.cdb + 8, static_cast<uint32_t>(len));
    if (Send(request)) return true;
    TakeSense(request, true);
    return false;
}

bool CDDevice::GetFormatCapacity(void* buf, int len) {
    if (buf == nullptr || len < 0 || len > 0xFFFF) {
        SetSense(5, 0x24, 0);
        return false;
    }
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(len);
    request.cdbLength = 10;
    request.cdb[0] = scsi::kReadFormatCapacities;
    bytes::PutBe16(request.cdb + 7, static_cast<uint32_t>(len));
    if (Send(request)) return true;
    TakeSense(request, true);
    return false;
}

const char* CDDevice::FormatDVDManufacturer() {
    textBuffer_[0] = '\0';
    if (!dvdDisc_) return textBuffer_;
    unsigned char* reply = workBuffer_.get();
    std::memset(reply, 0, kStructureBytes);
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = reply;
    request.dataLength = kStructureBytes;
    request.cdbLength = 12;
    request.cdb[0] = scsi::kReadDiscStructure;
    request.cdb[7] = 0x0C;  // recording management data in the last border-out
    bytes::PutBe16(request.cdb + 8, kStructureBytes);
    if (!Send(request)) {
        TakeSense(request, true);
        return textBuffer_;
    }
    const uint32_t moved = std::min<uint32_t>(request.dataLength, kStructureBytes);
    const uint32_t limit = std::min({uint32_t{bytes::GetBe16(reply)} + 2, kStructureBytes, moved});

    // The pre-pit copies are 8-byte fields: a field number, then 6 bytes.
    // The manufacturer's name is split over fields 3 and 4.
    unsigned char name[21] = {};
    uint32_t at = kPrePitStart;
    const int wanted[2] = {3, 4};
    for (int part = 0; part < 2; ++part) {
        for (; at + 7 <= limit; at += 8) {
            if (reply[at] == wanted[part]) {
                std::memcpy(name + part * 7, reply + at + 1, 6);
                at += 8;
                break;
            }
        }
    }
    size_t out = 0;
    bool lastWasBlank = false;
    for (unsigned char byte : name) {
        char piece[8];
        if (byte == 0 || byte == ' ') {
            if (lastWasBlank) continue;
            std::strcpy(piece, " ");
        } else if (byte >= 0x21 && byte <= 0x7E) {
            piece[0] = static_cast<char>(byte);
            piece[1] = '\0';
        } else {
            std::snprintf(piece, sizeof piece, "<%02X>", byte);
        }
        const size_t n = std::strlen(piece);
        if (out + n >= sizeof textBuffer_) break;
        std::memcpy(textBuffer_ + out, piece, n);
        out += n;
        lastWasBlank = piece[0] == ' ';
    }
    textBuffer_[out] = '\0';
    return textBuffer_;
}

bool CDDevice::GetSerialNumber(char* buf, int len) {
    if (buf == nullptr || len <= 0) {
        SetSense(5, 0x24, 0);
        return false;
    }
    if (serialNumber_[0] != '\0') return CopyOut(buf, std::min(len, kSerialNumberChars), serialNumber_);

    const unsigned value = deviceRecord_->Value(ddb::kSerNbr);
    const auto opcode = static_cast<uint8_t>(value & 0xFF);
    const unsigned form = (value >> 8) & 0xFF;
    if (value == 0 || form > kMaxSerialForms) {
        SetSense(5, 0x20, 0);
        return false;
    }
    unsigned char* answer = workBuffer_.get();
    std::memset(answer, 0, kSerialAnswerBytes);
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = answer;
    request.dataLength = kSerialAnswerBytes;
    request.cdbLength = opcode < 0x20 ? 6 : 12;
    request.cdb[0] = opcode;
    switch (form) {
    case 0:
        request.cdb[5] = 0x1A;
        request.cdb[9] = 6;
        request.dataLength = 6;
        break;
    case 1:
        request.cdbLength = 6;
        request.cdb[4] = 0x80;
        break;
    case 2:
        request.cdb[4] = 0x80;
        request.cdb[5] = 0x80;
        break;
    default:
        request.cdbLength = 6;
        request.cdb[0] = scsi::kInquiry;
        request.cdb[1] = 1;  // vital product data
        request.cdb[4] = 0x80;
        break;
    }
    if (!Send(request)) {
        TakeSense(request, true);
        return false;
    }
    std::string text;
    char number[16];
    switch (form) {
    case 0: {
        // Six hexadecimal digits, shown as a decimal number.
        unsigned long digits = 0;
        for (int i = 0; i < 6; ++i) {
            const int c = answer[i];
            const int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (v < 0) break;
            digits = digits * 16 + static_cast<unsigned long>(v);
        }
        std::snprintf(number, sizeof number, "%d", static_cast<int>(digits));
        text = number;
        break;
    }
    case 1: text = TextOf(answer + 36, 16); break;
    case 2:
        // The number follows a 4-byte header, as in the drive's vital
        // product data pages.
        std::snprintf(number, sizeof number, "%d",
                      static_cast<int>(bytes::GetBe24(answer + 4)));
        text = number;
        break;
    default: text = TextOf(answer, kSerialAnswerBytes); break;
    }
    return CopyOut(buf, len, text);
}

}  // namespace dravik::device
