// Sends CDBs to a drive and keeps the reply, for the virtual drive tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/scsi_drive.h"

namespace dravik::test {

struct MmcReply {
    platform::ScsiResult result;
    std::vector<uint8_t> data;  // what was transferred (buffer minus residual)

    bool Good() const { return result.Good(); }
    // "key/asc/ascq" for readable failure messages.
    std::string SenseText() const {
        char text[32];
        std::snprintf(text, sizeof text, "%X/%02X/%02X", result.SenseKey(), result.Asc(), result.Ascq());
        return text;
    }
};

inline MmcReply SendCdb(platform::ScsiDrive& drive, std::vector<uint8_t> cdb, size_t dataLength,
                        platform::DataDirection direction = platform::DataDirection::kIn,
                        std::vector<uint8_t> outData = {}) {
    MmcReply reply;
    std::vector<uint8_t> buffer(dataLength, 0xEE);  // filler shows bytes the drive did not write
    if (direction == platform::DataDirection::kOut) buffer = outData;
    platform::ScsiRequest request;
    request.cdb = cdb.data();
    request.cdbLength = cdb.size();
    request.direction = dataLength || !outData.empty() ? direction : platform::DataDirection::kNone;
    request.data = buffer.empty() ? nullptr : buffer.data();
    request.dataLength = buffer.size();
    reply.result = drive.Execute(request);
    if (direction == platform::DataDirection::kIn && reply.result.residual <= buffer.size())
        buffer.resize(buffer.size() - reply.result.residual);
    reply.data = std::move(buffer);
    return reply;
}

inline std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char two[4];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X ", b);
        text += two;
    }
    return text;
}

inline std::vector<uint8_t> Cdb10(uint8_t opcode, uint32_t lba, uint16_t length, uint8_t byte1 = 0, uint8_t byte6 = 0,
                                  uint8_t byte9 = 0) {
    return {opcode, byte1, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba),
            byte6,  uint8_t(length >> 8), uint8_t(length), byte9};
}

inline uint32_t BE32(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t(d.at(at)) << 24 | uint32_t(d.at(at + 1)) << 16 | uint32_t(d.at(at + 2)) << 8 | d.at(at + 3);
}

}  // namespace dravik::test
