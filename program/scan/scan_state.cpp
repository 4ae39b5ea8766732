#include "program/scan/scan_state.h"

#include "platform/utf8_text.h"
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

void SetVolumeName(std::string_view name) { VolumeName.assign(text::CutUtf8(name, kMaxVolumeName)); }

std::string VolumeNameFromRootName(std::string_view rootName) {
    std::string_view name = rootName;
    if (!name.empty() && name.front() == '\\') name.remove_prefix(name.size() < 2 ? name.size() : 2);
    std::size_t open = name.rfind('(');
    if (open != std::string_view::npos) name = name.substr(0, open == 0 ? 0 : open - 1);
    return std::string(text::CutUtf8(name, kMaxVolumeName));
}

std::string ScanCaption(bool listEmpty) {
    if (listEmpty) return ProgramTitle;
    return VolumeName + " - " + ProgramTitle;
}

}  // namespace dravik::scan
