// The one error an image or description yields when it cannot be served:
// which file, which line (0 when the fault is not on a line) and why.
#pragma once

#include <string>

namespace dravik::vdrive {

struct LoadError {
    std::string file;
    int line = 0;
    std::string message;

    std::string Text() const {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
    }
};

}  // namespace dravik::vdrive
