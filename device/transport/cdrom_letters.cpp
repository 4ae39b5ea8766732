// The walk over drive letters C to Z that the letter-based transports (the
// pass-through transport and the kernel driver) share.
#include <cstring>

#include "device/transport/spti_intf.h"
#include "platform/win_device_io.h"

namespace dravik::device {

bool NextCdromLetter(uint8_t& letter, int& driveType, std::string& target) {
    for (int next = letter == 0 ? 'C' : letter + 1; next <= 'Z'; ++next) {
        letter = static_cast<uint8_t>(next);
        const std::string root = std::string(1, static_cast<char>(next)) + ":\\";
        driveType = static_cast<int>(platform::GetDriveType(root));
        if (driveType != static_cast<int>(platform::kDriveCdrom)) continue;
        char answer[256];
        const std::string name = std::string(1, static_cast<char>(next)) + ":";
        target = platform::QueryDosDevice(name, answer, sizeof answer) != 0 ? answer : "";
        // A letter substituted onto a folder is not a device of its own.
        if (std::strncmp(target.c_str(), "\\??", 3) == 0) continue;
        return true;
    }
    // Past 'Z' the letter stays where the walk ended; another call finds
    // nothing either.
    return false;
}

}  // namespace dravik::device
