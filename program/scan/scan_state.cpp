#include "program/scan/scan_state.h"

#include "program/port/shell_port.h"

namespace dravik::scan {

std::string VolumeName;
std::string ProgramTitle = "Dravik";
std::atomic<bool> ScanRunning{false};
std::atomic<int> CloseRequested{0};

void EnableMainMenus(bool enabled) {
    ScanRunning = !enabled;
    port::ShellPort* shell = port::InstalledShellPort();
    if (!shell) return;
    shell->CallOnUserInterfaceThread([shell, enabled] {
        shell->EnableMainMenus(enabled);
        return 0;
    });
}

namespace {

std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t length = limit;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    return text.substr(0, length);
}

}  // namespace

void SetVolumeName(std::string_view name) { VolumeName.assign(CutUtf8(name, kMaxVolumeName)); }

std::string VolumeNameFromRootName(std::string_view rootName) {
    std::string_view name = rootName;
    if (!name.empty() && name.front() == '\\') name.remove_prefix(name.size() < 2 ? name.size() : 2);
    std::size_t open = name.rfind('(');
    if (open != std::string_view::npos) name = name.substr(0, open == 0 ? 0 : open - 1);
    return std::string(CutUtf8(name, kMaxVolumeName));
}

std::string ScanCaption(bool listEmpty) {
    if (listEmpty) return ProgramTitle;
    return VolumeName + " - " + ProgramTitle;
}

}  // namespace dravik::scan
