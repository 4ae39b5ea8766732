#include "program/diag/data_files.h"

#include <sys/stat.h>

#include "program/diag/debug_log.h"

namespace dravik::diag {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string InstalledDataFolder() {
    const std::string program = ProgramPath();
    return program.empty() ? std::string() : FolderOf(program) + "/../share/dravik";
}

std::string FindDataFileOf(const std::string& programPath, const std::string& besideProgram,
                           const std::string& installedName) {
    const std::string folder = programPath.empty() ? std::string(".") : FolderOf(programPath);
    const std::string beside = folder + "/" + besideProgram;
    if (Exists(beside)) return beside;
    const std::string installed = folder + "/../share/dravik/" + installedName;
    return Exists(installed) ? installed : beside;
}

std::string FindDataFile(const std::string& besideProgram, const std::string& installedName) {
    return FindDataFileOf(ProgramPath(), besideProgram, installedName);
}

}  // namespace dravik::diag
