// The optical drives of the machine, each with the letter a Windows machine
// would show (D: onward, real drives first): real drives found through
// /sys/class/block/sr* and used through SG_IO, and virtual drives over disc
// images and descriptions named by the environment variable DRAVIK_IMAGES
// and by the string "VirtualDrives" of the machine-wide .DeviceIntf key
// (paths separated by ':').
//
// Dependencies: the table is a library of its own (dravik_drive_table)
// above both the platform layer (SG_IO drives, the registry) and the
// virtual drive library, which itself sits on the platform layer: a driver
// below the system's device list.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/scsi_drive.h"

namespace dravik::platform {

inline constexpr const char* kImagesVariable = "DRAVIK_IMAGES";
inline constexpr const char* kDeviceIntfKey = "SOFTWARE\\Quenby\\DeviceIntf";
inline constexpr const char* kVirtualDrivesValue = "VirtualDrives";

struct DriveEntry {
    char letter = 0;
    DriveKind kind = DriveKind::kReal;
    DriveIdentity identity;
    std::string location;  // device node or image path
    std::shared_ptr<ScsiDrive> drive;
};

struct DriveTableSources {
    bool realDrives = true;
    std::string sysClassBlock = "/sys/class/block";
    std::string deviceFolder = "/dev";
    std::vector<std::string> imagePaths;
    // A ddrescue mapfile for an image of imagePaths (by the same path),
    // used instead of the one beside the image.
    std::map<std::string, std::string> rescueMaps;
};

class DriveTable {
public:
    // A table of exactly the given sources (tests build their own).
    static DriveTable Build(const DriveTableSources& sources);
    // The process's table: built once, at the first call, from the system,
    // DRAVIK_IMAGES and the registry.
    static const DriveTable& Process();
    // Adds a virtual drive over the image or description at `path` to the
    // process's table while the program runs (the user opens an image). It
    // takes the next free letter. An image the table already serves (same
    // file) gives that drive's letter and adds nothing. False with `error`
    // ("file:line: why", or no letter left); the table is then unchanged.
    // Safe against the drive lister on other threads.
    static bool AddProcessImage(const std::string& path, char& letter, std::string& error);

    const std::vector<DriveEntry>& Drives() const { return drives_; }
    // The drive with `letter` ('D', 'd' or "D:"), or null.
    const DriveEntry* Find(char letter) const;
    // One line for every source that gave no drive: an image that cannot
    // be served ("file:line: why"), or no letter left.
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    // False (with a problem line) when no letter is left.
    bool Add(DriveKind kind, std::shared_ptr<ScsiDrive> drive);
    std::vector<DriveEntry> drives_;
    std::vector<std::string> problems_;
};

// Makes the process's table the answer of ListDrives (drive_source.h).
void InstallProcessDriveTable();

// Paths of a ':'-separated list, empty parts left out.
std::vector<std::string> SplitImageList(const std::string& list);
// The paths of the "VirtualDrives" value of the machine-wide .DeviceIntf
// key; empty when the value is missing.
std::vector<std::string> VirtualDrivePathsFromRegistry();

struct RealDriveInfo {
    std::string node;
    DriveIdentity identity;
};
// The sr* block devices of `sysClassBlock`, in number order, with their
// identity from sysfs and their node in `deviceFolder`.
std::vector<RealDriveInfo> FindRealDrives(const std::string& sysClassBlock, const std::string& deviceFolder);

}  // namespace dravik::platform
