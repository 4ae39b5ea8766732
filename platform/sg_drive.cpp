#include "platform/sg_drive.h"

#include <cerrno>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/scsi_sense.h"

namespace dravik::platform {

namespace {
// The driver status bit that says sense data was returned.
constexpr unsigned kDriverSense = 0x08;
}  // namespace

SgDrive::SgDrive(std::string node, DriveIdentity identity) : node_(std::move(node)), identity_(std::move(identity)) {}

SgDrive::~SgDrive() {
    if (fd_ >= 0) ::close(fd_);
}

void InterpretSgIo(const sg_io_hdr& header, const uint8_t* senseBuffer, ScsiResult& result) {
    result.scsiStatus = header.status;
    result.hostStatus = header.host_status;
    // Sense delivered is not a driver failure; the other bits are.
    result.driverStatus = uint16_t(header.driver_status & ~kDriverSense);
    result.residual = header.resid > 0 ? size_t(header.resid) : 0;
    result.senseLength = 0;
    if (header.sb_len_wr > 0)
        result.senseLength = uint8_t(NormalizeSense(senseBuffer, header.sb_len_wr, result.sense, kMaxSenseBytes));
}

ScsiResult SgDrive::Execute(const ScsiRequest& request) {
    ScsiResult result;
    result.residual = request.dataLength;
    if (!request.cdb || request.cdbLength == 0 || request.cdbLength > 16 || (request.dataLength && !request.data)) {
        result.transportErrno = EINVAL;
        return result;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) {
        fd_ = ::open(node_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            result.transportErrno = errno;
            return result;
        }
    }
    uint8_t sense[kMaxSenseBytes] = {};
    sg_io_hdr header{};
    header.interface_id = 'S';
    header.cmdp = const_cast<unsigned char*>(request.cdb);
    header.cmd_len = uint8_t(request.cdbLength);
    header.sbp = sense;
    header.mx_sb_len = sizeof sense;
    header.dxferp = request.data;
    header.dxfer_len = unsigned(request.dataLength);
    header.timeout = request.timeoutMs;
    switch (request.direction) {
    case DataDirection::kIn: header.dxfer_direction = SG_DXFER_FROM_DEV; break;
    case DataDirection::kOut: header.dxfer_direction = SG_DXFER_TO_DEV; break;
    default: header.dxfer_direction = SG_DXFER_NONE; break;
    }
    if (request.dataLength == 0) header.dxfer_direction = SG_DXFER_NONE;
    int rc;
    do {
        rc = ::ioctl(fd_, SG_IO, &header);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        result.transportErrno = errno;
        return result;
    }
    InterpretSgIo(header, sense, result);
    return result;
}

}  // namespace dravik::platform
