// The record itself: construction, copies, defaults and the setters.
#include "device/ddb/ddb_info.h"

#include <cstring>

#include "platform/file_lock.h"

namespace dravik::device {

using namespace ddb;

DDBInfo::DDBInfo(MessageCallback callback) : callback_(callback) { Reset(); }

DDBInfo::DDBInfo(const DDBInfo& other) { *this = other; }

DDBInfo& DDBInfo::operator=(const DDBInfo& other) {
    if (this == &other) return *this;
    callback_ = other.callback_;
    modified_ = other.modified_;
    speedSet_ = other.speedSet_;
    noGeneric_ = other.noGeneric_;
    mmc_ = other.mmc_;
    cddaGood_ = other.cddaGood_;
    std::memcpy(values_, other.values_, sizeof values_);
    std::memcpy(lists_, other.lists_, sizeof lists_);
    deviceName_ = other.deviceName_;
    analysis_ = other.analysis_;
    SetFileName(other.fileName_.c_str());
    return *this;
}

DDBInfo::~DDBInfo() = default;

void DDBInfo::Reset() {
    std::memset(values_, 0, sizeof values_);
    for (auto& list : lists_) {
        std::fill(std::begin(list), std::end(list), uint16_t{0});
        list[0] = kListEnd;
    }
    values_[kCDText] = 1;
    values_[kProgress] = 1;
    values_[kSpeedCode] = 255;
    modified_ = false;
    speedSet_ = false;
    mmc_ = false;
    cddaGood_ = false;
}

void DDBInfo::SetMsgCallback(MessageCallback callback) { callback_ = callback; }

void DDBInfo::SetFileName(const char* path) {
    std::string name = path ? path : "";
    if (name == fileName_) return;
    fileName_ = std::move(name);
    // The lock belongs to the old file; a new one is made for the new file
    // when it is first needed.
    lock_.reset();
    lockKey_.clear();
}

void DDBInfo::SetDeviceName(const char* name) {
    deviceName_ = name ? name : "";
    if (deviceName_.size() > kDeviceNameChars) deviceName_.resize(kDeviceNameChars);
    modified_ = true;
}

void DDBInfo::SetFlag(Field field, bool on) {
    values_[field] = on ? 1 : 0;
    modified_ = true;
}

void DDBInfo::SetNumber(Field field, int value) {
    for (const Key& key : kKeys) {
        if (key.kind == Kind::Number && key.slot == field) {
            StoreNumber(key, static_cast<uint32_t>(value));
            break;
        }
    }
    modified_ = true;
}

void DDBInfo::StoreNumber(const Key& key, uint32_t value) {
    values_[key.slot] = static_cast<uint16_t>(key.bits == 8 ? (value & 0xFFu) : (value & 0xFFFFu));
}

void DDBInfo::SetRetryChange(bool on) {
    uint16_t value = on ? 1 : 0;
    if (values_[kRtryChg] == value) return;
    values_[kRtryChg] = value;
    modified_ = true;
}

void DDBInfo::SetWriteCmd(int value) {
    SetNumber(kWCmd, value);
    values_[kWFmt] = 1;
}

void DDBInfo::Message(int id, const char* a, const char* b) const {
    if (!callback_) return;
    if (b) callback_(id, a, b);
    else if (a) callback_(id, a);
    else callback_(id);
}

}  // namespace dravik::device
