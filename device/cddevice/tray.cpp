// Drive controls: the tray (load and eject with the record's command),
// changer slots, the removal lock and seeks.
#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

// CDB length by the opcode's group: 6 bytes below 0x20, 12 for group 5,
// else 10.
uint8_t CdbLengthOf(uint8_t opcode) {
    if (opcode < 0x20) return 6;
    if ((opcode & 0xE0) == 0xA0) return 12;
    return 10;
}

}  // namespace

bool CDDevice::CDTrayControl(bool eject) {
    if (!eject && !deviceRecord_->CanLoadDisc()) {
        SetSense(5, 0x20, 0);
        return false;
    }
    uint8_t opcode = static_cast<uint8_t>(deviceRecord_->GetLoadCmd());
    if (opcode == 0) opcode = scsi::kStartStopUnit;  // a record that names no command: the standard one
    DevRequest request(this);
    request.direction = kRequestNoData;
    request.cdbLength = CdbLengthOf(opcode);
    request.cdb[0] = opcode;
    request.cdb[4] = eject ? 2 : 3;
    if (Send(request)) return true;
    TakeSense(request, true);
    return false;
}

bool CDDevice::MediaSlotControl(bool load, int slot) {
    DevRequest request(this);
    request.direction = kRequestNoData;
    request.cdbLength = 12;
    request.cdb[0] = scsi::kLoadUnloadMedium;
    request.cdb[4] = load ? 3 : 2;
    request.cdb[8] = static_cast<uint8_t>(slot);
    if (Send(request)) return true;
    TakeSense(request, true);
    return false;
}

bool CDDevice::LockTray(bool lock) {
    DevRequest request(this);
    request.direction = kRequestNoData;
    request.cdbLength = 6;
    request.cdb[0] = scsi::kPreventAllowRemoval;
    request.cdb[4] = lock ? 1 : 0;
    if (Send(request)) return true;
    TakeSense(request, true);
    return false;
}

bool CDDevice::SeekDrive(int block) {
    DevRequest request(this);
    request.direction = kRequestDataIn;  // no buffer: nothing moves
    request.cdbLength = 10;
    request.cdb[0] = scsi::kSeek10;
    bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
    if (Send(request)) return true;
    TakeSense(request, true);
    return false;
}

}  // namespace dravik::device
