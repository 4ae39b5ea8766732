// One hive file on disk: read through a cache that notices changes made by
// other processes, and changed only under the inter-process lock of its
// path, re-reading the file first, so concurrent writers never lose each
// other's values. Writes are atomic (temporary file, rename).
//
// A file that is not a valid hive reads as an empty hive and is reported
// once on stderr; before the first write it is renamed to
// <name>.bad-<time> (also reported), so nothing a person wrote is lost.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "hive_text.h"
#include "registry_errors.h"

namespace dravik::platform {

// The current content of the hive at `path`. A missing file is an empty
// hive. Returns kRegSuccess, or an error when the file exists but cannot be
// read (then `root` is an empty hive).
long ReadHiveFile(const std::string& path, std::shared_ptr<const HiveKey>& root);

// Applies `change` to the hive at `path` and writes it back. `change`
// returns kRegSuccess to have the hive written, anything else to leave the
// file as it was (that result is returned). `title` heads a new file.
long UpdateHiveFile(const std::string& path, std::string_view title, const std::function<long(HiveKey&)>& change);

// Whether this process could write the hive at `path`: the file (when it
// exists) and its folder, or the nearest existing folder above, writable.
bool CanWriteHiveFile(const std::string& path);

// The registry error for an errno of a file operation.
long RegErrorFromErrno(int error);

}  // namespace dravik::platform
