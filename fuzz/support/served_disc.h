// Puts a disc an image parser built into a virtual drive and asks it what
// the scan asks first (the table of contents in each form, the disc and
// track information, the capacity, a few reads), so a parser that lets an
// inconsistent disc through shows up in the command handlers.
#pragma once

#include "vdrive/drive_config.h"

namespace dravik::fuzz {

void QueryServedDisc(vdrive::LoadedImage image);

}  // namespace dravik::fuzz
