// The kernel driver's stand-in ("\\.\ZOLTDACC"). It keeps its own table of
// open devices: the handle values it returns are numbers of this table,
// not handles of the process, so closing one as a process handle would
// close something else. A pass-through record relayed to it carries
// buffer tokens in its address fields (as the pass-through record's data
// address does), which the driver resolves before carrying the record out
// on the drive.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/byte_order.h"
#include "platform/drive_source.h"
#include "platform/driver_endpoint.h"
#include "platform/pass_through_exec.h"
#include "platform/scsi_pass_through.h"
#include "platform/test_seams.h"
#include "platform/win_errors.h"

namespace dravik::platform {
namespace {

constexpr uint32_t kDriverFirstHandleValue = 0x7D000001;
constexpr char kDriverVersionText[] = "Dravik kernel driver 1.0";

bool DriverFail(uint32_t error) {
    SetLastError(error);
    return false;
}

struct OpenedDevice {
    std::shared_ptr<ScsiDrive> drive;
    std::string name;
};

// The drive whose NT device name is `name`, or null.
std::shared_ptr<ScsiDrive> DriveNamed(const std::string& name) {
    const DriveList drives = ListDrives();
    for (size_t i = 0; i < drives.size(); ++i)
        if (NtDeviceName(i) == name) return drives[i].drive;
    return nullptr;
}

// Text of at most `limit` bytes, up to its first NUL.
std::string BoundedText(const void* data, size_t limit) {
    const auto* text = static_cast<const char*>(data);
    return std::string(text, strnlen(text, limit));
}

class KernelDriver : public DriverEndpoint {
public:
    bool Control(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* bytesReturned,
                 Overlapped*) override {
        if (bytesReturned) *bytesReturned = 0;
        switch (code) {
        case kDriverOpenDevice: return Open(in, inSize, out, outSize, bytesReturned);
        case kDriverRelay: return Relay(in, inSize);
        case kDriverCloseDevice: return Close(in, inSize);
        case kDriverNewVolume: return NewVolume(in, inSize);
        case kDriverVersion: {
            if (!out || outSize == 0) return DriverFail(kErrorInvalidParameter);
            const size_t n = std::min<size_t>({outSize, kDriverVersionBytes, sizeof kDriverVersionText});
            std::memcpy(out, kDriverVersionText, n);
            static_cast<char*>(out)[n - 1] = 0;
            if (bytesReturned) *bytesReturned = static_cast<uint32_t>(n);
            SetLastError(kErrorSuccess);
            return true;
        }
        default: return DriverFail(kErrorInvalidFunction);
        }
    }

    test_seams::DriverCounters Counters() {
        std::lock_guard lock(mutex_);
        return {opens_, closes_, devices_.size()};
    }

private:
    bool Open(const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* bytesReturned) {
        if (!in || !out || outSize < 4 || inSize == 0) return DriverFail(kErrorInvalidParameter);
        const std::string name = BoundedText(in, std::min<size_t>(inSize, kDriverNameBytes));
        std::shared_ptr<ScsiDrive> drive = DriveNamed(name);
        if (!drive) return DriverFail(kErrorFileNotFound);
        std::lock_guard lock(mutex_);
        const uint32_t value = nextValue_++;
        devices_[value] = OpenedDevice{std::move(drive), name};
        ++opens_;
        bytes::PutLe32(static_cast<uint8_t*>(out), value);
        if (bytesReturned) *bytesReturned = 4;
        SetLastError(kErrorSuccess);
        return true;
    }

    bool Relay(const void* in, uint32_t inSize) {
        if (!in || inSize < kRelayRecordBytes) return DriverFail(kErrorInvalidParameter);
        const auto* relay = static_cast<const uint8_t*>(in);
        const uint32_t value = bytes::GetLe32(relay);
        const uint32_t innerCode = bytes::GetLe32(relay + 4);
        const uint32_t inputSize = bytes::GetLe32(relay + 12);
        const uint32_t outputSize = bytes::GetLe32(relay + 20);
        void* input = ResolveIoBuffer(bytes::GetLe32(relay + 8), inputSize);
        void* output = ResolveIoBuffer(bytes::GetLe32(relay + 16), outputSize);
        if (!input || !output) return DriverFail(kErrorInvalidParameter);
        std::shared_ptr<ScsiDrive> drive;
        {
            std::lock_guard lock(mutex_);
            auto it = devices_.find(value);
            if (it == devices_.end()) return DriverFail(kErrorInvalidHandle);
            drive = it->second.drive;
        }
        // The inner call's byte count stays with the record: the relay call
        // itself returns none.
        uint32_t moved = 0;
        return RunPassThrough(*drive, innerCode, input, inputSize, output, outputSize, &moved);
    }

    bool Close(const void* in, uint32_t inSize) {
        if (!in || inSize < 4) return DriverFail(kErrorInvalidParameter);
        std::lock_guard lock(mutex_);
        if (devices_.erase(bytes::GetLe32(static_cast<const uint8_t*>(in))) == 0) return DriverFail(kErrorInvalidHandle);
        ++closes_;
        SetLastError(kErrorSuccess);
        return true;
    }

    bool NewVolume(const void* in, uint32_t inSize) {
        if (!in || inSize == 0) return DriverFail(kErrorInvalidParameter);
        const std::string name = BoundedText(in, std::min<size_t>(inSize, kDriverNameBytes));
        if (!DriveNamed(name)) return DriverFail(kErrorFileNotFound);
        SetLastError(kErrorSuccess);
        return true;
    }

    std::mutex mutex_;
    std::map<uint32_t, OpenedDevice> devices_;
    uint32_t nextValue_ = kDriverFirstHandleValue;
    size_t opens_ = 0;
    size_t closes_ = 0;
};

KernelDriver& Driver() {
    static auto* driver = new KernelDriver;  // lives as long as the process: handles may outlive statics
    return *driver;
}

}  // namespace

std::shared_ptr<DriverEndpoint> KernelDriverEndpoint() {
    return std::shared_ptr<DriverEndpoint>(&Driver(), [](DriverEndpoint*) {});
}

test_seams::DriverCounters test_seams::KernelDriverCounters() { return Driver().Counters(); }

}  // namespace dravik::platform
