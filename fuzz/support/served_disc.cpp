#include "support/served_disc.h"

#include <array>
#include <vector>

#include "vdrive/virtual_drive.h"

namespace dravik::fuzz {
namespace {

void Send(vdrive::VirtualDrive& drive, std::array<std::uint8_t, 10> cdb, std::size_t length) {
    std::vector<std::uint8_t> reply(length);
    platform::ScsiRequest request;
    request.cdb = cdb.data();
    request.cdbLength = cdb.size();
    request.direction = platform::DataDirection::kIn;
    request.data = reply.data();
    request.dataLength = reply.size();
    drive.Execute(request);
}

}  // namespace

void QueryServedDisc(vdrive::LoadedImage image) {
    if (!image.disc) return;
    vdrive::VirtualDrive drive(std::move(image), "fuzz");
    // The drive reports the inserted disc once; answer that first.
    Send(drive, {0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0);
    for (std::uint8_t format : {0, 1, 2, 5})
        Send(drive, {0x43, 0x02, format, 0, 0, 0, static_cast<std::uint8_t>(format == 2 ? 1 : 0), 0x10, 0x00, 0}, 0x1000);
    Send(drive, {0x51, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0}, 0x100);
    for (std::uint8_t track : {1, 2, 0xFF})
        Send(drive, {0x52, 0x01, 0, 0, 0, track, 0, 0x01, 0x00, 0}, 0x100);
    Send(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    for (std::uint8_t block : {0, 16, 150})
        Send(drive, {0x28, 0, 0, 0, 0, block, 0, 0, 2, 0}, 2 * 2048);
}

}  // namespace dravik::fuzz
