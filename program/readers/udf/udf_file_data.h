// Extraction's view of a UDF file: the runs of its data (the scan's table
// of file systems hands this to the extractor).
#pragma once

#include <vector>

#include "program/scan/file_systems.h"

namespace dravik::readers::udf {

bool UdfFileData(const scan::FoundItem* root, const scan::FoundItem* item, const scan::ReadOneBlock& read,
                 std::vector<scan::FileDataRun>& runs);

}  // namespace dravik::readers::udf
