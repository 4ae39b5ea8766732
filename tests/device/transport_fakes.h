// Fakes and recorders shared by the transport tests: a scripted drive, the
// debug and message callbacks as recorders, and a fixture that gives each
// test its own settings folder, drive list and counted sleeps.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/regstore/registry_store.h"
#include "device/test_seams.h"
#include "device/transport/transport_timing.h"
#include "platform/drive_source.h"
#include "platform/hive_locations.h"
#include "platform/scsi_drive.h"
#include "platform/test_seams.h"
#include "platform/win_device_io.h"
#include "support/temp_dir.h"

namespace dravik::test {

using platform::ScsiRequest;
using platform::ScsiResult;

inline ScsiResult CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq, uint32_t information = 0) {
    ScsiResult result;
    result.scsiStatus = platform::kScsiCheckCondition;
    result.sense[0] = information ? 0xF0 : 0x70;
    result.sense[2] = key;
    result.sense[3] = static_cast<uint8_t>(information >> 24);
    result.sense[4] = static_cast<uint8_t>(information >> 16);
    result.sense[5] = static_cast<uint8_t>(information >> 8);
    result.sense[6] = static_cast<uint8_t>(information);
    result.sense[7] = 10;
    result.sense[12] = asc;
    result.sense[13] = ascq;
    result.senseLength = 18;
    return result;
}

// A drive whose answers come from a script. INQUIRY answers the device
// type unless the script takes it; every other command goes to `script`
// (good, with the data buffer untouched, when there is none).
class FakeDrive : public platform::ScsiDrive {
public:
    using Script = std::function<ScsiResult(const ScsiRequest&, int call)>;
    explicit FakeDrive(uint8_t type = 5, Script script = {}) : type_(type), script_(std::move(script)) {}

    ScsiResult Execute(const ScsiRequest& request) override {
        const int call = ++commands_;
        if (request.cdbLength > 0) lastOpcode_ = request.cdb[0];
        lastTimeoutMs_ = request.timeoutMs;
        if (inquiryHook_ && request.cdb[0] == 0x12) inquiryHook_();
        if (request.cdb[0] == 0x12 && !scriptInquiry_) {
            ++inquiries_;
            uint8_t answer[36] = {type_, 0x80, 0x05, 0x32, 31};
            std::memcpy(answer + 8, "FAKE    DRIVE           1.00", 28);
            const size_t n = std::min(request.dataLength, sizeof answer);
            if (request.data) std::memcpy(request.data, answer, n);
            ScsiResult result;
            result.residual = request.dataLength - n;
            return result;
        }
        return script_ ? script_(request, call) : ScsiResult{};
    }
    platform::DriveIdentity Identity() const override { return {"FAKE", "DRIVE", "1.00"}; }
    platform::DriveKind Kind() const override { return platform::DriveKind::kVirtual; }
    std::string Location() const override { return "fake"; }

    int Commands() const { return commands_; }
    int Inquiries() const { return inquiries_; }
    uint8_t LastOpcode() const { return lastOpcode_; }
    uint32_t LastTimeoutMs() const { return lastTimeoutMs_; }
    void ScriptInquiry() { scriptInquiry_ = true; }
    void OnInquiry(std::function<void()> hook) { inquiryHook_ = std::move(hook); }

private:
    uint8_t type_;
    Script script_;
    bool scriptInquiry_ = false;
    std::function<void()> inquiryHook_;
    std::atomic<int> commands_{0};
    std::atomic<int> inquiries_{0};
    std::atomic<uint8_t> lastOpcode_{0};
    std::atomic<uint32_t> lastTimeoutMs_{0};
};

// The callbacks are plain C functions; they record into these.
struct CallbackLog {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<std::pair<int, std::string>> messages;  // id, first text argument
};

inline CallbackLog& Recorded() {
    static CallbackLog log;
    return log;
}

inline void RecordDebugLine(char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard lock(Recorded().mutex);
    Recorded().lines.push_back(text);
}

// Every message the transports raise has a text as its first argument.
inline int RecordMessage(int id, ...) {
    va_list args;
    va_start(args, id);
    const char* first = va_arg(args, const char*);
    va_end(args);
    std::lock_guard lock(Recorded().mutex);
    Recorded().messages.emplace_back(id, first ? first : "");
    return 0;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(platform::kConfigDirVariable, settings.path().c_str(), 1);
        device::test_seams::ForgetRegistryNames();
        {
            std::lock_guard lock(Recorded().mutex);
            Recorded().lines.clear();
            Recorded().messages.clear();
        }
        device::test_seams::SetTransportSleep([this](uint32_t ms) {
            std::lock_guard lock(sleepMutex);
            sleeps.push_back(ms);
        });
        platform::test_seams::ClearDeviceIoFaults();
        SetDrives({});
    }
    void TearDown() override {
        platform::SetDriveLister({});
        platform::test_seams::ClearDeviceIoFaults();
        device::test_seams::SetTransportSleep({});
        unsetenv(platform::kConfigDirVariable);
        device::test_seams::ForgetRegistryNames();
    }

    // Drives get letters D, E, F, ... in order.
    void SetDrives(std::vector<std::shared_ptr<platform::ScsiDrive>> drives) {
        platform::DriveList list;
        char letter = 'D';
        for (auto& drive : drives) list.push_back({letter++, drive});
        platform::SetDriveLister([list] { return list; });
    }

    static std::vector<std::string> Lines() {
        std::lock_guard lock(Recorded().mutex);
        return Recorded().lines;
    }
    static std::vector<std::pair<int, std::string>> Messages() {
        std::lock_guard lock(Recorded().mutex);
        return Recorded().messages;
    }
    static bool Logged(const std::string& line) {
        for (auto& l : Lines())
            if (l == line) return true;
        return false;
    }
    std::vector<uint32_t> Sleeps() {
        std::lock_guard lock(sleepMutex);
        return sleeps;
    }

    TempDir settings;
    std::mutex sleepMutex;
    std::vector<uint32_t> sleeps;
};

}  // namespace dravik::test
