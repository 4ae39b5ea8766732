// A UDF file's data for copying it out after the scan: the volume map read
// again from the root item, and the file read through its cursor.
#pragma once

#include <memory>
#include <string>

#include "program/scan/file_systems.h"

namespace dravik::readers::udf {

std::unique_ptr<scan::FileDataStream> OpenUdfFileStream(const scan::FoundItem* root, const scan::FoundItem* item,
                                                        const scan::ReadOneBlock& read, std::string& error);

}  // namespace dravik::readers::udf
