// Test doubles for the CDDevice tests: a transport over a list of named
// drives that counts its instances, a start-up log recorder, and transport
// starters whose outcome each test sets.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/cddevice/transport_choice.h"
#include "device/request/dev_request.h"
#include "device/transport/device_intf.h"

namespace dravik::device::test {

// What the fake answers to TestUnitReady and Execute.
struct FakeAnswer {
    bool ready = true;
    uint8_t senseKey = 0, asc = 0, ascq = 0, requestStatus = 0;
    uint32_t senseInfo = 0, dataLength = 0;
};

class FakeTransport : public DeviceIntf {
public:
    static inline int live = 0;       // objects alive
    static inline int shutdowns = 0;  // Shutdown calls on any object
    static inline std::vector<std::string> drives;
    static inline std::string version = "FAKE 1.0";

    static inline FakeAnswer answer;
    static inline DevRequest lastRequest{nullptr};
    static inline bool lastInterpret = false;

    static void ResetCounters() {
        live = shutdowns = 0;
        drives = {"D:", "E:", "F:"};
        answer = FakeAnswer{};
        lastRequest = DevRequest(nullptr);
    }

    FakeTransport() { ++live; }
    FakeTransport(const FakeTransport& other) : DeviceIntf(other), position_(other.position_) { ++live; }
    ~FakeTransport() override { --live; }

    void Shutdown() override { ++shutdowns; }
    DeviceIntf* Clone() const override { return new FakeTransport(*this); }
    bool WinVolume(int action) override { return action == 1; }
    bool Execute(DevRequest* request, bool interpret) override {
        lastRequest = *request;
        lastInterpret = interpret;
        request->requestStatus = answer.requestStatus;
        request->senseKey = answer.senseKey;
        request->asc = answer.asc;
        request->ascq = answer.ascq;
        request->senseInfo = answer.senseInfo;
        request->dataLength = answer.dataLength;
        return answer.ready;
    }
    std::string GetVersion() override { return version; }
    const char* GetDeviceId() override {
        id_ = position_ >= 0 && position_ < static_cast<int>(drives.size()) ? drives[position_] : "";
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
    bool TestUnitReady(DevRequest* request, bool) override {
        request->requestStatus = 7;  // a status the caller must not pass on
        if (answer.ready) return true;
        request->senseKey = answer.senseKey;
        request->asc = answer.asc;
        request->ascq = answer.ascq;
        request->senseInfo = answer.senseInfo;
        return false;
    }
    bool CloseDevice() override { return true; }
    bool OpenDevice() override { return position_ >= 0; }

private:
    bool Stand() {
        bool on = position_ < static_cast<int>(drives.size());
        deviceType = on ? 5 : 255;
        driveLetter = on ? static_cast<uint8_t>(drives[position_][0]) : 255;
        return on;
    }
    int position_ = -1;
    std::string id_;
};

// Records what reaches a message callback: the id and, for id 0, the text.
struct LogRecorder {
    static inline std::vector<std::pair<int, std::string>> entries;
    static int Record(int id, ...) {
        std::string text;
        if (id == 0) {
            va_list args;
            va_start(args, id);
            const char* line = va_arg(args, const char*);
            va_end(args);
            text = line ? line : "";
        }
        entries.emplace_back(id, text);
        return 0;
    }
    static std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        for (auto& [id, text] : entries)
            if (id == 0) lines.push_back(text);
        return lines;
    }
};

// Starters that succeed or fail as a test says and note which ran.
struct FakeStarters {
    static inline bool succeeds[4] = {};  // kernel driver, pass-through, VxD, ASPI
    static inline std::vector<int> started;

    template <int Kind>
    static bool Start(ResourceModule, MessageCallback) {
        started.push_back(Kind);
        return succeeds[Kind];
    }
    static DeviceIntf* Create() { return new FakeTransport; }

    static TransportStarters Table() {
        TransportStarters table;
        table.kernelDriver = {&Start<0>, &Create};
        table.passThrough = {&Start<1>, &Create};
        table.vxd = {&Start<2>, &Create};
        table.aspi = {&Start<3>, &Create};
        return table;
    }
    static void Reset() {
        for (bool& s : succeeds) s = false;
        started.clear();
    }
};

}  // namespace dravik::device::test
