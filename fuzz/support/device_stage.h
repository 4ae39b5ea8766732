// What every harness that reads through the device library needs once per
// process: settings in a private folder, a front end that shows nothing,
// the device library started, one device on the given drive selected for
// the scan, and the scan's table of file systems installed.
#pragma once

#include <memory>

#include "platform/scsi_drive.h"

namespace dravik::fuzz {

// Aborts when the device cannot be set up (the harness would test nothing).
void SelectDrive(std::shared_ptr<platform::ScsiDrive> drive);

[[noreturn]] void SetUpFailed(const char* what);

}  // namespace dravik::fuzz
