// Construction, copy, assignment and destruction of CDDevice objects.
#include <cstring>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/library_state.h"
#include "device/ddb/ddb_info.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

namespace {
int IgnoreMessage(int, ...) { return 0; }
void IgnoreDebugLine(char*, ...) {}
void IgnoreDump(void*, int, const char*) {}
}  // namespace

CDDevice::CDDevice()
    : workBuffer_(new unsigned char[kWorkBufferBytes]()),
      resourceModule_(Library().resourceModule),
      messageCallback_(IgnoreMessage),
      debugCallback_(IgnoreDebugLine),
      debugDump_(IgnoreDump),
      deviceRecord_(std::make_unique<DDBInfo>(IgnoreMessage)) {
    // Last: the clone stands where the prototype stands. Without a
    // prototype (Initialize not run or failed) the object has no transport
    // and every forwarder reports failure.
    if (DeviceIntf* prototype = Library().prototype) AdoptTransport(prototype->Clone());
}

CDDevice::CDDevice(const CDDevice& other) { CopyFrom(other); }

CDDevice& CDDevice::operator=(const CDDevice& other) {
    if (this == &other) return *this;
    transport_.reset();
    workBuffer_.reset();
    deviceRecord_.reset();
    CopyFrom(other);
    return *this;
}

CDDevice::~CDDevice() = default;

void CDDevice::AdoptTransport(DeviceIntf* transport) {
    transport_.reset(transport);
    if (transport_ == nullptr) return;
    // The prototype carries no callbacks of its own; a transport must never
    // call through a null one.
    if (transport_->messageCallback == nullptr) transport_->messageCallback = messageCallback_;
    if (transport_->debugCallback == nullptr) transport_->debugCallback = debugCallback_;
}

void CDDevice::CopyFrom(const CDDevice& source) {
    // Copied from the source.
    errorMode_ = source.errorMode_;
    debugLevel_ = source.debugLevel_;
    abortFlag_.store(source.IsAbortSet(), std::memory_order_relaxed);
    errorScanMode_ = source.errorScanMode_;
    ansiVersion0_ = source.ansiVersion0_;
    recorder_ = source.recorder_;
    rawMode_ = source.rawMode_;
    cddaMode_ = source.cddaMode_;
    modeSelectWorked_ = source.modeSelectWorked_;
    recoveryPageRefused_ = source.recoveryPageRefused_;
    capabilitiesKnown_ = source.capabilitiesKnown_;
    recoveredMode_ = source.recoveredMode_;
    promptSuppress_ = source.promptSuppress_;
    dvdPlusDisc_ = source.dvdPlusDisc_;
    mrw_ = source.mrw_;
    fakeMode3_ = source.fakeMode3_;
    readRetry_ = source.readRetry_;
    hardwareRetry_ = source.hardwareRetry_;
    inactivityMultiplier_ = source.inactivityMultiplier_;
    dataDensityCode_ = source.dataDensityCode_;
    driveSpeedValue_ = source.driveSpeedValue_;
    mediaType_ = source.mediaType_;
    std::memcpy(capabilities_, source.capabilities_, sizeof capabilities_);
    std::memcpy(diskIdent_, source.diskIdent_, sizeof diskIdent_);
    savedRecoveryParameter_ = source.savedRecoveryParameter_;
    savedRetryCount_ = source.savedRetryCount_;
    std::memcpy(serialNumber_, source.serialNumber_, sizeof serialNumber_);
    savedReadSpeed_ = source.savedReadSpeed_;
    writeParameters_ = source.writeParameters_;
    writerTimeoutMs_ = source.writerTimeoutMs_;
    resourceModule_ = source.resourceModule_;
    messageCallback_ = source.messageCallback_;
    debugCallback_ = source.debugCallback_;
    debugDump_ = source.debugDump_;
    std::memcpy(textBuffer_, source.textBuffer_, sizeof textBuffer_);

    // A copy starts its own error history.
    recoveredErrors_ = mediaErrors_ = otherErrors_ = 0;
    senseKey_ = asc_ = ascq_ = 0;

    // Learned again by VerifyDevice and the commands; not taken over.
    dvdMinusDisc_ = dvdPlusR_ = dvdRW_ = dvdDisc_ = false;
    arre_ = awre_ = false;
    sectorSize_ = 0;
    errorBlock_ = 0;
    senseInfo_ = 0;
    lastErrorClass_ = 0;

    // Resources of its own.
    deviceRecord_ = std::make_unique<DDBInfo>(*source.deviceRecord_);
    workBuffer_.reset(new unsigned char[kWorkBufferBytes]());
    // The clone stands at the source's enumeration position, on the same drive.
    if (source.transport_) AdoptTransport(source.transport_->Clone());
}

}  // namespace dravik::device
