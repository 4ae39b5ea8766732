#include "support/session_recorder.h"

#include <algorithm>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/write_parameters.h"

namespace dravik::test {

namespace {

constexpr size_t kBlockBytes = 2048;

device::WriteParameters ParametersFor(const RecordOptions& options) {
    device::WriteParameters wp;
    wp.packetWriting = options.packetWriting;
    wp.packetSize = options.packetSize;
    wp.testWrite = options.testWrite;
    wp.multiSession = options.multiSession;
    wp.dataBlockType = options.dataBlockType;
    wp.trackMode = options.packetWriting ? 5 : 4;  // data, recorded incrementally or at once
    wp.trackNumber = 255;
    return wp;
}

}  // namespace

int32_t NextWritableAddress(device::CDDevice& device) {
    device::WriteParameters wp = ParametersFor(RecordOptions{});
    return device.InitWrite(wp) ? wp.nextWritableAddress : -1;
}

RecordResult RecordTrack(device::CDDevice& device, std::vector<uint8_t> data, const RecordOptions& options) {
    RecordResult result;
    device::WriteParameters wp = ParametersFor(options);
    if (!device.InitWrite(wp)) {
        result.failedStep = "prepare";
        return result;
    }
    result.start = wp.nextWritableAddress;
    size_t chunkBlocks = size_t(options.blocksPerWrite > 0 ? options.blocksPerWrite : 1);
    if (options.packetWriting && options.packetSize) {
        chunkBlocks = options.packetSize;
        const size_t packetBytes = options.packetSize * kBlockBytes;
        data.resize((data.size() + packetBytes - 1) / packetBytes * packetBytes, 0);
    }
    data.resize((data.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, 0);
    for (size_t at = 0; at < data.size(); at += chunkBlocks * kBlockBytes) {
        const size_t bytes = std::min(chunkBlocks * kBlockBytes, data.size() - at);
        if (!device.WriteData(wp, data.data() + at, int(bytes))) {
            result.failedStep = "write";
            return result;
        }
        // A packet ends with a cache flush, which also gives the address
        // of the next packet.
        if (options.packetWriting && !device.SynchronizeCache(wp)) {
            result.failedStep = "write";
            return result;
        }
    }
    result.end = wp.currentWriteAddress;
    if (!device.CloseTrack(wp, options.closeSession)) {
        result.failedStep = "close";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace dravik::test
