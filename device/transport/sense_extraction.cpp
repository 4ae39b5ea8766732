#include "device/transport/sense_extraction.h"

namespace dravik::device {

void ExtractSense(const uint8_t* sense, size_t length, DevRequest* request) {
    auto at = [&](size_t i) -> uint32_t { return (sense && i < length) ? sense[i] : 0; };
    request->senseKey = static_cast<uint8_t>(at(2));
    request->asc = static_cast<uint8_t>(at(12));
    request->ascq = static_cast<uint8_t>(at(13));
    request->senseInfo = 0;
    if (at(15) & 0x80)
        request->senseInfo = (at(16) << 8) | at(17);
    else if (at(0) & 0x80)
        request->senseInfo = (at(3) << 24) | (at(4) << 16) | (at(5) << 8) | at(6);
}

void SetSystemErrorSense(DevRequest* request, uint32_t error) {
    request->senseKey = 0xFE;
    request->asc = static_cast<uint8_t>(error & 0xFF);
    request->ascq = static_cast<uint8_t>((error >> 8) & 0xFF);
}

}  // namespace dravik::device
