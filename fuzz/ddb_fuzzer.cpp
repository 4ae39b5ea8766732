// Device database files: every entry parsed where it stands (the check the
// library runs over a whole file), the lookup of a drive's entry by its
// name, and the rewrite of that entry, on a file holding the input. The
// drive's name comes from the input's first line, so the lookup meets the
// sections and entries the input itself holds.
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/ddb/ddb_info.h"
#include "support/scratch_files.h"

namespace {

int IgnoreMessage(int, ...) { return 0; }

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) __builtin_trap();
    if (size && std::fwrite(data, 1, size, out) != size) __builtin_trap();
    std::fclose(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using dravik::device::DDBInfo;
    static const std::string path = dravik::fuzz::ScratchPath("ASPIDEV.DDB");
    WriteFile(path, data, size);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view firstLine = text.substr(0, text.find_first_of("\r\n"));
    DDBInfo info(IgnoreMessage);
    info.SetFileName(path.c_str());
    info.AnalyzeDatabase();
    info.SetDeviceName(std::string(firstLine.substr(0, DDBInfo::kDeviceNameChars)).c_str());
    if (info.GetDeviceInfo()) {
        (void)info.FormatEntry("FUZZ", DDBInfo::kUpdateEntryLimit);
        info.SetSpeedCode(4);
        info.UpdateDeviceInfo();
        // What was written must read back.
        DDBInfo again(IgnoreMessage);
        again.SetFileName(path.c_str());
        again.SetDeviceName(info.GetDeviceName());
        again.GetDeviceInfo();
    }
    return 0;
}
