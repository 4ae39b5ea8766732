#include "device/transport/transport_log.h"

#include <cstdio>

#include "platform/byte_order.h"

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
    return static_cast<int>(bytes::GetBe32(cdb + 2));
}

}  // namespace dravik::device
