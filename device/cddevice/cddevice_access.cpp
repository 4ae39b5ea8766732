// The forwarders to the transport, the callbacks and the derived state
// accessors of CDDevice. Every forwarder answers "no device" when the
// object has no transport (the library was not started).
#include <algorithm>
#include <cstring>

#include "device/cddevice/cddevice.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

bool CDDevice::FirstDevice() { return transport_ && transport_->FirstDevice(); }
bool CDDevice::NextDevice() { return transport_ && transport_->NextDevice(); }
bool CDDevice::OpenDevice() { return transport_ && transport_->OpenDevice(); }
bool CDDevice::CloseDevice() { return transport_ && transport_->CloseDevice(); }

const char* CDDevice::GetDeviceId() {
    const char* id = transport_ ? transport_->GetDeviceId() : nullptr;
    return id ? id : "";
}

unsigned char CDDevice::GetDeviceTypeCode() const { return transport_ ? transport_->deviceType : 255; }
unsigned char CDDevice::GetDriveLetter() const { return transport_ ? transport_->driveLetter : 255; }

bool CDDevice::WinVolume(VOLUMEACTION action) { return transport_ && transport_->WinVolume(action); }

bool CDDevice::CheckDevice(bool retry) {
    if (!transport_) return false;
    DevRequest request(this);
    if (transport_->TestUnitReady(&request, retry)) return true;
    senseKey_ = request.senseKey;
    asc_ = request.asc;
    ascq_ = request.ascq;
    senseInfo_ = request.senseInfo;
    return false;
}

bool CDDevice::UpdateDeviceInformation() { return deviceRecord_->UpdateDeviceInfo(); }
void CDDevice::SetDDBFilename(const std::string& path) { deviceRecord_->SetFileName(path.c_str()); }
const char* CDDevice::GetDeviceName() const { return deviceRecord_->GetDeviceName(); }

void CDDevice::SetMessageCallback(MessageCallback callback) {
    messageCallback_ = callback;
    deviceRecord_->SetMsgCallback(callback);
    if (transport_) transport_->messageCallback = callback;
}

void CDDevice::SetDebugCallback(DebugCallback callback) {
    debugCallback_ = callback;
    if (transport_) transport_->debugCallback = callback;
}

void CDDevice::SetDebugDump(DebugDumpCallback callback) { debugDump_ = callback; }

void CDDevice::SetDebugLevel(int level) {
    debugLevel_ = static_cast<uint8_t>(level & 0xFF);
    if (transport_) transport_->debugLevel = level;
}

short CDDevice::ShortSwap(short value) {
    auto bits = static_cast<uint16_t>(value);
    return static_cast<short>(static_cast<uint16_t>((bits >> 8) | (bits << 8)));
}

unsigned CDDevice::LongSwap(unsigned value) {
    return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) | ((value & 0x00FF0000u) >> 8) |
           ((value & 0xFF000000u) >> 24);
}

bool CDDevice::IsC2Available() const { return capabilitiesKnown_ && (capabilities_[5] & 0x10) != 0; }
bool CDDevice::IsDVDErasable() const { return dvdDisc_ && (dvdRW_ || (dvdPlusDisc_ && !dvdPlusR_)); }
bool CDDevice::IsRawAvail() const { return !dvdDisc_ && deviceRecord_->IsRawModeAvail(); }
bool CDDevice::IsCDDAAvail() const { return !dvdDisc_ && deviceRecord_->IsCDDAEnabled(); }

bool CDDevice::GetCapabilities(unsigned char* buffer, int length) const {
    int count = (length < 0 || length > kCapabilityBytes) ? kCapabilityBytes : length;
    if (buffer != nullptr && count > 0) std::memcpy(buffer, capabilities_, static_cast<size_t>(count));
    return capabilitiesKnown_;
}

// --- device-record settings ---
bool CDDevice::IsDeviceReg() const { return deviceRecord_->IsDeviceReg(); }
bool CDDevice::IsSpeedSet() const { return deviceRecord_->IsSpeedSet(); }
bool CDDevice::IsMMC() const { return deviceRecord_->IsMMC(); }
bool CDDevice::IsLittleEndian() const { return deviceRecord_->IsLittleEndian(); }
bool CDDevice::IsSubRWAvail() const { return deviceRecord_->IsSubRWAvail(); }
bool CDDevice::IsSubRWDeinter() const { return deviceRecord_->IsSubRWDeinter(); }
bool CDDevice::IsMode10() const { return deviceRecord_->IsMode10(); }
bool CDDevice::CanLoadDisc() const { return deviceRecord_->CanLoadDisc(); }
bool CDDevice::CanReadCDText() const { return deviceRecord_->CanReadCDText(); }
bool CDDevice::CanRptProgress() const { return deviceRecord_->CanRptProgress(); }
bool CDDevice::IsDVDPlusRW() const { return deviceRecord_->IsDVDPlusRW(); }
bool CDDevice::IsDVDMinusRW() const { return deviceRecord_->IsDVDMinusRW(); }
bool CDDevice::CanChangeRetry() const { return deviceRecord_->CanChangeRetry(); }
bool CDDevice::IsFullEraseOnly() const { return deviceRecord_->IsFullEraseOnly(); }
bool CDDevice::CanReadATIP() const { return deviceRecord_->CanReadATIP(); }

unsigned char CDDevice::GetCDDACmd() const { return static_cast<unsigned char>(deviceRecord_->GetCDDACmd()); }
unsigned char CDDevice::GetRawCmd() const { return static_cast<unsigned char>(deviceRecord_->GetRawCmd()); }
unsigned char CDDevice::GetTrackInfoCmd() const {
    return static_cast<unsigned char>(deviceRecord_->GetTrackInfoCmd());
}
unsigned char CDDevice::GetWriteCmd() const { return static_cast<unsigned char>(deviceRecord_->GetWriteCmd()); }
unsigned char CDDevice::GetSubQVal() const { return static_cast<unsigned char>(deviceRecord_->GetSubQVal()); }
unsigned char CDDevice::GetScanParm() const { return static_cast<unsigned char>(deviceRecord_->GetScanParm()); }
short CDDevice::GetBufferSize() const { return static_cast<short>(deviceRecord_->GetBufferSize()); }
short CDDevice::GetMaxWrtLen() const { return static_cast<short>(deviceRecord_->GetMaxWrtLen()); }
short CDDevice::GetBuffOverhead() const { return static_cast<short>(deviceRecord_->GetBuffOverhead()); }
short CDDevice::GetBufferMax() const { return static_cast<short>(deviceRecord_->GetBufferMax()); }
int CDDevice::GetSpeedValue() const { return deviceRecord_->GetSpeedValue(); }
int CDDevice::GetDeviceWriteSpeed(int index, bool group2) const {
    return deviceRecord_->GetDeviceWriteSpeed(index, group2);
}

void CDDevice::SetCDDAAvail(bool on) { deviceRecord_->SetCDDAEnable(on); }
void CDDevice::SetRawAvail(bool on) { deviceRecord_->SetRawModeAvail(on); }
void CDDevice::SetScanParm(int value) { deviceRecord_->SetScanParm(value); }
void CDDevice::SetDeviceReg(bool on) { deviceRecord_->SetDeviceReg(on); }
void CDDevice::SetTrackInfoCmd(int value) { deviceRecord_->SetTrackInfoCmd(value); }
void CDDevice::SetProgressRpt(bool on) { deviceRecord_->SetProgress(on); }
void CDDevice::SetCDTextMode(bool on) { deviceRecord_->SetCDTextMode(on); }
void CDDevice::SetBufferSize(int value) { deviceRecord_->SetBufferSize(value); }
void CDDevice::SetBuffOverhead(int value) { deviceRecord_->SetBuffOverhead(value); }
void CDDevice::SetRetryChange(bool on) { deviceRecord_->SetRetryChange(on); }
void CDDevice::SetSubQVal(int value) { deviceRecord_->SetSubQ(value); }
void CDDevice::SetBufferMax(int value) { deviceRecord_->SetBuffMax(value); }
void CDDevice::SetDeviceWriteSpeed(int speed, bool group2) { deviceRecord_->SetDeviceWriteSpeed(speed, group2); }
void CDDevice::SetNoGeneric(bool on) { deviceRecord_->SetNoGeneric(on); }

}  // namespace dravik::device
