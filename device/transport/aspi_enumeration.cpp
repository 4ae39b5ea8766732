// ASPIIntf enumeration: host adapters and targets, probed with
// SC_GET_DEV_TYPE. "AdapterBypass" in the .DeviceIntf key names adapters to
// skip; the bit of the adapter being probed is set in the registry for the
// length of the probe, so an adapter whose probe kills the process is
// skipped by every later scan.
#include <array>

#include "device/regstore/registry_store.h"
#include "device/transport/aspi_intf.h"
#include "device/transport/aspi_library.h"
#include "device/transport/transport_log.h"

namespace dravik::device {
namespace {

using namespace platform::aspi;

constexpr const char* kAdapterBypass = "AdapterBypass";
constexpr int kDefaultTargets = 8;

uint32_t AdapterBit(int adapter) { return (adapter >= 0 && adapter < 32) ? (1u << adapter) : 0; }

uint32_t ReadBypassMask() {
    RegistryStore store;
    if (!store.Open(kDeviceIntfKey)) return 0;
    const uint32_t mask = store.ReadNumber(kAdapterBypass, 0);
    store.Close();
    return mask;
}

void WriteBypassMask(uint32_t mask) {
    RegistryStore store;
    if (!store.Open(kDeviceIntfKey)) return;
    store.WriteNumber(kAdapterBypass, mask);
    store.Close();
}

bool IsDiscDeviceType(uint8_t type) { return type == 0 || type == 4 || type == 5; }

}  // namespace

int ASPIIntf::TargetsOfAdapter(int adapter) {
    std::array<uint8_t, ha_inquiry::kSize> srb{};
    srb[kCmd] = SC_HA_INQUIRY;
    srb[kHaId] = static_cast<uint8_t>(adapter);
    SendAspiCommand(srb.data());
    const int targets = srb[ha_inquiry::kMaxTargets];
    return (srb[kStatus] == SS_COMP && (targets == 8 || targets == 16)) ? targets : kDefaultTargets;
}

bool ASPIIntf::AdvanceAddress(uint32_t mask) {
    ++target_;
    if (target_ < TargetsOfAdapter(hostAdapter_)) return true;
    target_ = 0;
    do {
        ++hostAdapter_;
    } while (hostAdapter_ < Aspi().adapterCount && (mask & AdapterBit(hostAdapter_)));
    return hostAdapter_ < Aspi().adapterCount;
}

bool ASPIIntf::FirstDevice() {
    lun_ = 0;
    hostAdapter_ = -1;
    target_ = -1;
    return NextDevice();
}

bool ASPIIntf::NextDevice() {
    const uint32_t mask = ReadBypassMask();
    const int adapterCount = Aspi().adapterCount;
    if (hostAdapter_ == -1) {
        target_ = 0;
        hostAdapter_ = 0;
        while (hostAdapter_ < adapterCount && (mask & AdapterBit(hostAdapter_))) ++hostAdapter_;
        if (hostAdapter_ >= adapterCount) return false;
    } else if (!AdvanceAddress(mask)) {
        return false;
    }
    while (hostAdapter_ < adapterCount) {
        WriteBypassMask(mask | AdapterBit(hostAdapter_));
        TransportLog(*this, 0, "Checking device at %d:%d", hostAdapter_, target_);
        std::array<uint8_t, dev_block::kSize> srb{};
        srb[kCmd] = SC_GET_DEV_TYPE;
        srb[kHaId] = static_cast<uint8_t>(hostAdapter_);
        srb[dev_block::kTarget] = static_cast<uint8_t>(target_);
        srb[dev_block::kLun] = 0;
        SendAspiCommand(srb.data());
        WriteBypassMask(mask & ~AdapterBit(hostAdapter_));
        if (srb[kStatus] == SS_COMP) {
            const uint8_t type = srb[dev_block::kDeviceType];
            TransportLog(*this, 0, "Found device at %d:%d type %x", hostAdapter_, target_, type);
            deviceType = type;
            if (IsDiscDeviceType(type)) return true;
        }
        if (!AdvanceAddress(mask)) return false;
    }
    return false;
}

}  // namespace dravik::device
