// Saves what a recording drive holds as a disc description with one data
// file per track beside it, so the recorded disc can be loaded again, the
// open session and the open track included.
#pragma once

#include <string>

#include "vdrive/disc.h"

namespace dravik::vdrive {

// Writes the description to `descriptionPath` and each track's blocks to
// "<description name>.tNN.bin" in the same folder (2048 bytes a block,
// 2352 for audio). Returns an empty string, or why it could not.
std::string SaveDiscImage(const Disc& disc, const std::string& descriptionPath);

}  // namespace dravik::vdrive
