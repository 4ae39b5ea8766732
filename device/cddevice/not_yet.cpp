// Not yet: operations declared for their callers before they are built.
// Each fails with ILLEGAL REQUEST / invalid command in the sense fields.
#include "device/cddevice/cddevice.h"
#include "device/request/dev_request.h"

namespace dravik::device {

#define DRAVIK_NOT_YET(signature) \
    signature {                   \
        SetSense(5, 0x20, 0);     \
        return false;             \
    }

DRAVIK_NOT_YET(bool CDDevice::ReadCD(int, void*, int))
DRAVIK_NOT_YET(bool CDDevice::ReadCDDA(int, void*, int, bool))
DRAVIK_NOT_YET(bool CDDevice::ReadSubQ(int, void*))
DRAVIK_NOT_YET(bool CDDevice::ReadSubchannel(int, int, void*))
DRAVIK_NOT_YET(bool CDDevice::ReadCDSubRW(int, void*, int))
DRAVIK_NOT_YET(bool CDDevice::ReadCDAny(int, void*, int, int))
DRAVIK_NOT_YET(bool CDDevice::SetRawSectorMode(bool))
DRAVIK_NOT_YET(bool CDDevice::SetCDDAMode(bool))
DRAVIK_NOT_YET(bool CDDevice::ChangeSectorSize(int))
DRAVIK_NOT_YET(bool CDDevice::Inquiry(unsigned char*))
DRAVIK_NOT_YET(bool CDDevice::ReadCDRWInfo(void*, int))
DRAVIK_NOT_YET(bool CDDevice::ReadCDToc(int, void*, int))
DRAVIK_NOT_YET(bool CDDevice::CDTrayControl(bool))
DRAVIK_NOT_YET(bool CDDevice::MediaSlotControl(bool, int))
DRAVIK_NOT_YET(bool CDDevice::LockTray(bool))
DRAVIK_NOT_YET(bool CDDevice::SeekDrive(int))
DRAVIK_NOT_YET(bool CDDevice::GetDVDStructure(int, int, char*, int))
DRAVIK_NOT_YET(bool CDDevice::GetFormatCapacity(void*, int))
DRAVIK_NOT_YET(bool CDDevice::GetSerialNumber(char*, int))
DRAVIK_NOT_YET(bool CDDevice::ChangeAddressMode(bool))
DRAVIK_NOT_YET(bool CDDevice::GetFeatures())
DRAVIK_NOT_YET(bool CDDevice::ModeSenseCommand(int, unsigned char*, int*, int*))
DRAVIK_NOT_YET(bool CDDevice::ModeSelectCommand(DevRequest*, unsigned char*))
DRAVIK_NOT_YET(bool CDDevice::SetSpeedFromCapabilities())

const char* CDDevice::FormatDVDManufacturer() {
    textBuffer_[0] = '\0';
    return textBuffer_;
}
int CDDevice::GetCurrentConfiguration() { return 0; }
void CDDevice::GetWritePerformance() {}
bool CDDevice::SelectBlockDescriptor(uint8_t, int, uint8_t&) { return false; }
bool CDDevice::ClassifyReadFailure(DevRequest&, int, const char*) { return false; }
void CDDevice::ReportReadError(DevRequest&, int) {}

}  // namespace dravik::device
