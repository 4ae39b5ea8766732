// Files the user keeps are never left half-written: new content goes to a
// temporary file in the same folder, is flushed to disk, and is renamed over
// the old file only when complete.
#pragma once

#include <string>
#include <string_view>

namespace dravik::platform {

// Writes `data` to `path`. `tempPath` names the temporary file (it must be
// in the same folder); empty means `path` + ".tmp<pid>". An existing file's
// permission bits are kept. Returns 0 on success, else the errno of the
// step that failed; on failure the old file is untouched and the temporary
// file removed.
int WriteFileAtomically(const std::string& path, std::string_view data,
                        const std::string& tempPath = {});

// Reads a whole file. Returns 0 or an errno.
int ReadWholeFile(const std::string& path, std::string& out);

// The system's text for an error number.
std::string ErrorText(int error);

}  // namespace dravik::platform
