#include "device/transport/transport_log.h"

#include <cstdio>

namespace dravik::device {

std::string CdbText(const uint8_t* cdb, int length) {
    std::string text;
    for (int i = 0; i < length && i < 16; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x ", cdb[i]);
        text += byte;
    }
    return text;
}

int CdbBlock(const uint8_t* cdb) {
    return static_cast<int>((uint32_t{cdb[2]} << 24) | (uint32_t{cdb[3]} << 16) | (uint32_t{cdb[4]} << 8) | cdb[5]);
}

}  // namespace dravik::device
