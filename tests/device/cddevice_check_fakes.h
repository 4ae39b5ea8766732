// Transports for the tests of the device check, the read speed and the
// error-recovery settings: one that carries requests to virtual drives
// (the drives' own answers, sense and transfer counts) and one whose
// answers a test scripts byte by byte, recording every command it is sent.
// A fixture starts the library with either, in a private settings folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/transport_choice.h"
#include "device/regstore/registry_store.h"
#include "device/request/dev_request.h"
#include "device/test_seams.h"
#include "device/transport/device_intf.h"
#include "device/transport/transport_timing.h"
#include "platform/hive_locations.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "vdrive/virtual_drive.h"

namespace dravik::device::test {

// Walks a list of virtual drives, lettered from D:, and hands each request
// to the drive as the pass-through layer would: status, fixed sense, and
// the count of bytes actually moved.
class VirtualDriveTransport : public DeviceIntf {
public:
    static inline std::vector<std::shared_ptr<vdrive::VirtualDrive>> drives;

    DeviceIntf* Clone() const override { return new VirtualDriveTransport(*this); }
    void Shutdown() override {}
    bool WinVolume(int) override { return false; }
    std::string GetVersion() override { return "VD 1.0"; }
    const char* GetDeviceId() override {
        id_ = On() ? std::string(1, static_cast<char>('D' + position_)) + ":" : "";
        return id_.c_str();
    }
    bool ResetDevice() override { return false; }
    bool FirstDevice() override {
        position_ = 0;
        return Stand();
    }
    bool NextDevice() override {
        ++position_;
        return Stand();
    }
    bool CloseDevice() override { return true; }
    bool OpenDevice() override { return On(); }
    bool TestUnitReady(DevRequest* request, bool) override {
        request->direction = kRequestNoData;
        request->cdbLength = 6;
        std::memset(request->cdb, 0, sizeof request->cdb);
        request->dataLength = 0;
        return Execute(request, true);
    }
    bool Execute(DevRequest* request, bool) override {
        if (!On()) {
            request->requestStatus = 0xFF;
            request->senseKey = request->asc = 0xFF;
            return false;
        }
        platform::ScsiRequest scsi;
        scsi.cdb = request->cdb;
        scsi.cdbLength = request->cdbLength;
        const uint32_t direction = request->Direction();
        scsi.direction = direction == kRequestDataIn    ? platform::DataDirection::kIn
                         : direction == kRequestDataOut ? platform::DataDirection::kOut
                                                        : platform::DataDirection::kNone;
        scsi.data = static_cast<uint8_t*>(request->buffer);
        scsi.dataLength = scsi.direction == platform::DataDirection::kNone ? 0 : request->dataLength;
        platform::ScsiResult result = drives[position_]->Execute(scsi);
        if (result.Good()) {
            request->requestStatus = 0;
            request->senseKey = request->asc = request->ascq = 0;
            request->dataLength = static_cast<uint32_t>(scsi.dataLength - std::min(result.residual, scsi.dataLength));
            return true;
        }
        request->requestStatus = 4;
        request->senseKey = result.SenseKey();
        request->asc = result.Asc();
        request->ascq = result.Ascq();
        return false;
    }

private:
    bool On() const { return position_ >= 0 && position_ < static_cast<int>(drives.size()); }
    bool Stand() {
        deviceType = On() ? 5 : 255;
        driveLetter = On() ? static_cast<uint8_t>('D' + position_) : 255;
        return On();
    }
    int position_ = -1;
    std::string id_;
};

// One command as the scripted transport saw it.
struct SentCommand {
    std::vector<uint8_t> cdb;
    std::vector<uint8_t> dataOut;  // the parameter list of a data-out command
    uint32_t dataLength = 0;       // the length the request asked for
};

// Answers every request through `answer`, which fills the buffer and
// returns what the drive moved, or sets sense and returns -1.
class ScriptedTransport : public DeviceIntf {
public:
    struct Reply {
        int moved = 0;  // bytes placed in the buffer; -1: the command failed with `sense`
        uint8_t sense[3] = {};
    };
    using Answer = std::function<Reply(const SentCommand& command, uint8_t* buffer)>;
    static inline Answer answer;
    static inline std::vector<SentCommand> sent;

    static Reply Data(const std::vector<uint8_t>& bytes, uint8_t* buffer, uint32_t room) {
        const size_t n = std::min<size_t>(bytes.size(), room);
        std::memcpy(buffer, bytes.data(), n);
        return Reply{static_cast<int>(n), {}};
    }
    static Reply Fail(uint8_t key, uint8_t asc, uint8_t ascq = 0) { return Reply{-1, {key, asc, ascq}}; }
    static Reply Good() { return Reply{0, {}}; }

    // The commands sent with this operation code.
    static std::vector<SentCommand> With(uint8_t opcode) {
        std::vector<SentCommand> found;
        for (const SentCommand& c : sent)
            if (c.cdb[0] == opcode) found.push_back(c);
        return found;
    }

    DeviceIntf* Clone() const override { return new ScriptedTransport(*this); }
    void Shutdown() override {}
    bool WinVolume(int) override { return false; }
    std::string GetVersion() override { return "SCRIPT 1.0"; }
    const char* GetDeviceId() override { return "D:"; }
    bool ResetDevice() override { return false; }
    bool FirstDevice() override {
        deviceType = 5;
        driveLetter = 'D';
        return true;
    }
    bool NextDevice() override {
        deviceType = driveLetter = 255;
        return false;
    }
    bool CloseDevice() override { return true; }
    bool OpenDevice() override { return true; }
    bool TestUnitReady(DevRequest* request, bool) override {
        request->direction = kRequestNoData;
        request->cdbLength = 6;
        std::memset(request->cdb, 0, sizeof request->cdb);
        request->dataLength = 0;
        return Execute(request, true);
    }
    bool Execute(DevRequest* request, bool) override {
        SentCommand command;
        command.cdb.assign(request->cdb, request->cdb + request->cdbLength);
        command.dataLength = request->dataLength;
        if (request->Direction() == kRequestDataOut && request->buffer)
            command.dataOut.assign(static_cast<uint8_t*>(request->buffer),
                                   static_cast<uint8_t*>(request->buffer) + request->dataLength);
        sent.push_back(command);
        Reply reply = answer ? answer(command, request->Direction() == kRequestDataIn
                                                   ? static_cast<uint8_t*>(request->buffer)
                                                   : nullptr)
                             : Good();
        if (reply.moved < 0) {
            request->requestStatus = 4;
            request->senseKey = reply.sense[0];
            request->asc = reply.sense[1];
            request->ascq = reply.sense[2];
            return false;
        }
        request->requestStatus = 0;
        request->senseKey = request->asc = request->ascq = 0;
        if (request->Direction() == kRequestDataIn) request->dataLength = static_cast<uint32_t>(reply.moved);
        return true;
    }
};

// A mode sense answer holding `pages`, in the header form of the command
// (10-byte: 8-byte header; 6-byte: 4-byte header), with or without a
// block descriptor of 2048-byte blocks.
inline std::vector<uint8_t> ModeAnswer(bool mode10, const std::vector<uint8_t>& pages, bool descriptor = false,
                                       uint8_t mediumType = 0) {
    std::vector<uint8_t> reply(mode10 ? 8 : 4, 0);
    if (descriptor) reply.insert(reply.end(), {0, 0, 0, 0, 0, 0, 0x08, 0x00});
    reply.insert(reply.end(), pages.begin(), pages.end());
    if (mode10) {
        reply[0] = static_cast<uint8_t>((reply.size() - 2) >> 8);
        reply[1] = static_cast<uint8_t>(reply.size() - 2);
        reply[2] = mediumType;
        reply[7] = descriptor ? 8 : 0;
    } else {
        reply[0] = static_cast<uint8_t>(reply.size() - 1);
        reply[1] = mediumType;
        reply[3] = descriptor ? 8 : 0;
    }
    return reply;
}

// Starts the library with transport T in a settings folder of its own;
// the transport's pauses do not wait.
template <typename T>
class CheckFixture : public ::testing::Test {
protected:
    static bool Start(ResourceModule, MessageCallback) { return true; }
    static DeviceIntf* Create() { return new T; }

    void SetUp() override {
        setenv(platform::kConfigDirVariable, config.path().c_str(), 1);
        test_seams::ForgetRegistryNames();
        test_seams::SetTransportSleep([](uint32_t) {});
        table.passThrough = {&Start, &Create};
        test_seams::SetTransportStarters(&table);
        ASSERT_TRUE(CDDevice::Initialize(nullptr, nullptr));
    }
    void TearDown() override {
        CDDevice::Terminate();
        test_seams::SetTransportStarters(nullptr);
        test_seams::SetTransportSleep(nullptr);
        unsetenv(platform::kConfigDirVariable);
        test_seams::ForgetRegistryNames();
        VirtualDriveTransport::drives.clear();
        ScriptedTransport::answer = nullptr;
        ScriptedTransport::sent.clear();
    }

    // The crash marker as the library left it.
    static bool CrashMarker() {
        RegistryStore settings;
        settings.Open(".DeviceIntf");
        return settings.ReadFlag("CrashDetect", false);
    }

    dravik::test::TempDir config;
    TransportStarters table;
};

// Gives tests the device check's protected helpers.
class CheckedDevice : public CDDevice {
public:
    using CDDevice::CheckAutoRealloc;
    using CDDevice::ReadDeviceBufferSize;
    using CDDevice::ResetDeviceParameters;
    using CDDevice::SingleSpace;
    using CDDevice::strip;
};

}  // namespace dravik::device::test
