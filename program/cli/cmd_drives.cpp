// dravik-cli drives: walks the optical drives through the device library
// (CDDevice::FirstDevice/NextDevice over the transport Initialize chose) and
// lists each: letter, vendor and product, real or virtual, device node or
// image path, then the transport's address of the drive and the interface
// version. Images that cannot be served are reported on stderr, one line
// each, naming the file and line at fault.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "cli_command.h"
#include "device/cddevice/cddevice.h"
#include "platform/drive_table.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"

namespace dravik::cli {

namespace {

// The drive table entry a walk position stands for: by letter when the
// transport addresses drives by letter, else by position (the ASPI manager
// lists the same drives in the same order).
const platform::DriveEntry* EntryFor(const platform::DriveTable& table, device::CDDevice& walker, size_t position) {
    unsigned char letter = walker.GetDriveLetter();
    if (letter != 255) return table.Find(static_cast<char>(letter));
    return position < table.Drives().size() ? &table.Drives()[position] : nullptr;
}

void PrintDrive(const platform::DriveEntry* entry, device::CDDevice& walker) {
    std::string id = walker.GetDeviceId();
    std::string version = walker.GetIntfVersion();
    if (entry == nullptr) {
        std::printf("%-3s %-26s %-8s %-30s %s  %s\n", "?", "(unknown drive)", "", "", id.c_str(), version.c_str());
        return;
    }
    const std::string name = entry->identity.vendor + " " + entry->identity.product;
    std::printf("%c:  %-26s %-8s %-30s %s  %s\n", entry->letter, name.c_str(),
                entry->kind == platform::DriveKind::kReal ? "real" : "virtual", entry->location.c_str(), id.c_str(),
                version.c_str());
}

int RunDrives(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: dravik-cli drives\n");
        return kExitUsage;
    }
    // The device library takes its message and sense texts from the
    // language module; without it there is nothing to hand over.
    const messages::LanguageModule& language = messages::ProgramLanguage();
    void* resources = language.Loaded() ? ::dlopen(language.Path().c_str(), RTLD_NOW | RTLD_NOLOAD) : nullptr;
    if (resources == nullptr) {
        std::fprintf(stderr,
                     "dravik-cli drives: the device library cannot start without its language module: %s\n",
                     language.LoadError().empty() ? "it is not loaded" : language.LoadError().c_str());
        return kExitFailure;
    }

    const platform::DriveTable& table = platform::DriveTable::Process();
    platform::InstallProcessDriveTable();
    for (const std::string& problem : table.Problems()) std::fprintf(stderr, "dravik-cli drives: %s\n", problem.c_str());

    if (!device::CDDevice::Initialize(resources, messages::ShowMessage)) {
        std::fprintf(stderr, "dravik-cli drives: no device interface could be started\n");
        device::CDDevice::Terminate();
        ::dlclose(resources);
        return kExitDevice;
    }
    size_t found = 0;
    {
        device::CDDevice walker;
        for (bool on = walker.FirstDevice(); on; on = walker.NextDevice(), ++found)
            PrintDrive(EntryFor(table, walker, found), walker);
    }
    device::CDDevice::Terminate();
    ::dlclose(resources);
    if (found == 0) std::printf("No drives found.\n");
    return table.Problems().empty() ? kExitOk : kExitFailure;
}

const CliCommandRegistration registration({"drives", "",
                                           "list the optical drives through the device library: real ones and "
                                           "virtual ones over the images in DRAVIK_IMAGES (paths separated by ':')",
                                           RunDrives});

}  // namespace

}  // namespace dravik::cli
