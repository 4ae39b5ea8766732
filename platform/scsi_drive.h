// One optical drive that carries out one SCSI command at a time: a real
// drive through the kernel's SCSI generic interface, or a virtual drive over
// a disc image. The transports of the device library (ASPI manager,
// pass-through) are built on this interface and on nothing else, so it stays
// plain: CDB bytes in, status and fixed-format sense out.
//
// Header only: the virtual drive library implements it without linking the
// platform library (see drive_table.h for why).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dravik::platform {

enum class DataDirection { kNone, kIn, kOut };

// SCSI status bytes a drive answers.
inline constexpr uint8_t kScsiGood = 0x00;
inline constexpr uint8_t kScsiCheckCondition = 0x02;
inline constexpr uint8_t kScsiBusy = 0x08;

inline constexpr size_t kMaxSenseBytes = 32;
inline constexpr uint32_t kDefaultTimeoutMs = 30000;

struct ScsiRequest {
    const uint8_t* cdb = nullptr;
    size_t cdbLength = 0;  // 6, 10, 12 or 16
    DataDirection direction = DataDirection::kNone;
    uint8_t* data = nullptr;  // in: filled by the drive; out: read by it
    size_t dataLength = 0;
    uint32_t timeoutMs = kDefaultTimeoutMs;
};

struct ScsiResult {
    // 0 when the command reached the drive; otherwise the errno of the
    // failed delivery and nothing below is meaningful.
    int transportErrno = 0;
    uint8_t scsiStatus = kScsiGood;
    uint16_t hostStatus = 0;    // adapter-level failure (0 = none)
    uint16_t driverStatus = 0;  // driver-level failure (0 = none)
    // Fixed-format sense (response code 0x70 or 0x71), whatever format the
    // drive used; senseLength is 0 when there is none.
    uint8_t sense[kMaxSenseBytes] = {};
    uint8_t senseLength = 0;
    // Bytes of the data buffer that were not transferred.
    size_t residual = 0;

    bool Delivered() const { return transportErrno == 0 && hostStatus == 0 && driverStatus == 0; }
    bool Good() const { return Delivered() && scsiStatus == kScsiGood; }
    uint8_t SenseKey() const { return senseLength > 2 ? (sense[2] & 0x0F) : 0; }
    uint8_t Asc() const { return senseLength > 12 ? sense[12] : 0; }
    uint8_t Ascq() const { return senseLength > 13 ? sense[13] : 0; }
};

enum class DriveKind { kReal, kVirtual };

struct DriveIdentity {
    std::string vendor;    // INQUIRY bytes 8-15, trailing blanks removed
    std::string product;   // bytes 16-31
    std::string revision;  // bytes 32-35
};

// Implementations are safe to call from several threads; each drive runs
// one command at a time.
class ScsiDrive {
public:
    virtual ~ScsiDrive() = default;
    virtual ScsiResult Execute(const ScsiRequest& request) = 0;
    virtual DriveIdentity Identity() const = 0;
    virtual DriveKind Kind() const = 0;
    // The device node of a real drive, the image or description of a virtual one.
    virtual std::string Location() const = 0;
};

}  // namespace dravik::platform
