// Where the program finds the files shipped with it. In the build tree
// they lie beside the program (bin/DRAVIK.anm, Shared/ASPIDEV.DDB, help/);
// installed, the programs are in <prefix>/bin and the files in
// <prefix>/share/dravik. Both places are tried, the build tree's first.
#pragma once

#include <string>

namespace dravik::diag {

// <folder of the program>/../share/dravik; empty when the program's path
// is unknown.
std::string InstalledDataFolder();

// The first of these that exists: <folder of the program>/<besideProgram>
// ("../Shared/ASPIDEV.DDB"), then <InstalledDataFolder()>/<installedName>
// ("ASPIDEV.DDB"). When neither does, the first (so that a message names
// the place the build tree uses). Either may name a folder.
std::string FindDataFile(const std::string& besideProgram, const std::string& installedName);

// The same for a program at `programPath` (tests).
std::string FindDataFileOf(const std::string& programPath, const std::string& besideProgram,
                           const std::string& installedName);

}  // namespace dravik::diag
