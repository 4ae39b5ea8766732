// A real optical drive through the kernel's SCSI generic ioctl (SG_IO) on
// its block device node (/dev/srN), opened read-only and non-blocking so
// that an empty drive can be opened.
#pragma once

#include <mutex>
#include <string>

#include "platform/scsi_drive.h"

struct sg_io_hdr;

namespace dravik::platform {

class SgDrive final : public ScsiDrive {
public:
    SgDrive(std::string node, DriveIdentity identity);
    ~SgDrive() override;

    ScsiResult Execute(const ScsiRequest& request) override;
    DriveIdentity Identity() const override { return identity_; }
    DriveKind Kind() const override { return DriveKind::kReal; }
    std::string Location() const override { return node_; }

private:
    std::string node_;
    DriveIdentity identity_;
    std::mutex mutex_;
    int fd_ = -1;  // opened at the first command
};

// Turns a completed SG_IO request into a result: SCSI status, host and
// driver status, residual count, and the sense in fixed format.
void InterpretSgIo(const sg_io_hdr& header, const uint8_t* senseBuffer, ScsiResult& result);

}  // namespace dravik::platform
