// DevCommand: a caller's own SCSI command, sent through the transport of a
// CDDevice. Exported from libzoltdev.so; the virtual operations keep their
// order (destructor, operator[], CloseDevice, IORequest, TestUnitReady,
// Reset).
#pragma once

#include <cstdint>

#include "device/export.h"

namespace dravik::device {

class CDDevice;

// Data direction of a DevCommand; any value other than 1 or 2 sends no data.
enum CommandFlags : uint32_t {
    CommandNoData = 0,
    CommandDataIn = 1,
    CommandDataOut = 2,
};

class ZOLTDEV_API DevCommand {
public:
    static constexpr int kCdbBytes = 12;

    explicit DevCommand(CDDevice* device);
    // Copies everything but the request status, which starts at 0.
    DevCommand(const DevCommand& other);
    DevCommand& operator=(const DevCommand& other);

    virtual ~DevCommand();
    // CDB byte i for i from 0 to 11. Any other index yields a spare byte
    // that is never sent, so a wrong index cannot write past the CDB.
    virtual unsigned char& operator[](int i);
    virtual void CloseDevice();
    // Sends the command; `interpret` lets the transport evaluate check
    // conditions and retry. False also when the device has no transport.
    virtual bool IORequest(bool interpret);
    // The transport's TEST UNIT READY; the request status is 0 afterwards
    // whatever the result.
    virtual bool TestUnitReady(bool retry);
    // Everything but the device to zero.
    virtual void Reset();

    void SetBuffer(void* buffer) { buffer_ = buffer; }
    void SetCDBLength(int length) { cdbLength_ = length; }
    void SetDataLength(unsigned length) { dataLength_ = length; }
    void SetFlags(CommandFlags flags) { flags_ = flags; }

    void* GetBuffer() const { return buffer_; }
    unsigned GetDataLength() const { return dataLength_; }
    unsigned GetInfo() const { return info_; }
    unsigned char GetRequestStatus() const { return requestStatus_; }
    unsigned char GetSenseKey() const { return senseKey_; }
    unsigned char GetSenseCode() const { return asc_; }
    unsigned char GetSenseAddCode() const { return ascq_; }
    CDDevice* GetDevice() const { return device_; }

private:
    void CopyFrom(const DevCommand& other);

    CDDevice* device_;          // not owned; its transport carries the command
    void* buffer_ = nullptr;    // not owned
    uint32_t dataLength_ = 0;
    uint32_t info_ = 0;         // sense information of the last failure
    int32_t cdbLength_ = 0;     // the low byte is sent
    CommandFlags flags_ = CommandNoData;
    uint8_t cdb_[kCdbBytes] = {};
    uint8_t senseKey_ = 0;
    uint8_t asc_ = 0;
    uint8_t ascq_ = 0;
    uint8_t requestStatus_ = 0;
    uint8_t spareCdbByte_ = 0;  // target of out-of-range operator[] indexes
};

}  // namespace dravik::device
