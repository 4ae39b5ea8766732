// dravik-cli drives: walks the optical drives through the device library
// (CDDevice::FirstDevice/NextDevice over the transport Initialize chose) and
// lists each: letter, vendor and product, real or virtual, device node or
// image path, the transport's address of the drive and the interface
// version, then what the device check (VerifyDevice) made of it: the name,
// MMC or not, speed method and read speed, buffer size, and with --media
// the medium classification; a drive it refuses is listed with the reason.
// Images that cannot be served are reported on stderr, one line each,
// naming the file and line at fault.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli_command.h"
#include "program/app/device_setup.h"
#include "device/cddevice/cddevice.h"
#include "device/ddb/ddb_info.h"
#include "platform/drives/drive_table.h"
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

const char* RefusalText(device::CDDevice::VerifyRefusal refusal) {
    switch (refusal) {
    case device::CDDevice::VerifyNoInquiry: return "no answer to INQUIRY";
    case device::CDDevice::VerifyShortInquiry: return "INQUIRY data too short";
    case device::CDDevice::VerifyFixedDisk: return "a fixed disk";
    case device::CDDevice::VerifyNoDatabase: return "the device database cannot be read";
    case device::CDDevice::VerifyDisabled: return "disabled in the device database";
    default: return "not accepted";
    }
}

std::string MediumText(device::CDDevice& walker) {
    if (!walker.CheckDevice(false)) return "medium none";
    const unsigned type = walker.GetMediaType();
    std::string text = (type & 0x20) ? "CD-RW" : (type & 0x10) ? "CD-R" : "CD-ROM";
    if (type & 0x02) text += " audio";
    if (walker.IsDVDDisc()) text = "DVD";
    char code[24];
    std::snprintf(code, sizeof code, " (media type 0x%02X)", type);
    return "medium " + text + code;
}

// What the device check found, or why it refused the drive.
std::string CheckText(device::CDDevice& walker, bool media) {
    if (!walker.VerifyDevice(media)) return std::string("refused: ") + RefusalText(walker.GetVerifyRefusal());
    const unsigned method = walker.DeviceRecord()->GetSpeedCode();
    char text[256];
    std::string speed;
    if (method == 255) {
        speed = "speed method none";
    } else {
        const unsigned current = walker.GetReadSpeed();
        char part[64];
        if (current == 0xFFFFFFFFu)
            std::snprintf(part, sizeof part, "speed method %u, read speed unknown", method);
        else if (method == 0)
            std::snprintf(part, sizeof part, "speed method 0, read speed %ux", current);
        else
            std::snprintf(part, sizeof part, "speed method %u, read speed code 0x%02X", method, current);
        speed = part;
    }
    const int buffer = walker.GetBufferSize();
    char bufferText[32];
    if (buffer > 0)
        std::snprintf(bufferText, sizeof bufferText, "buffer %d KB", buffer);
    else
        std::snprintf(bufferText, sizeof bufferText, "buffer unknown");
    std::snprintf(text, sizeof text, "\"%s\", %s, %s, %s", walker.GetDeviceName(), walker.IsMMC() ? "MMC" : "not MMC",
                  speed.c_str(), bufferText);
    std::string result = text;
    if (media) result += ", " + MediumText(walker);
    return result;
}

void PrintDrive(const platform::DriveEntry* entry, device::CDDevice& walker, bool media) {
    std::string id = walker.GetDeviceId();
    std::string version = walker.GetIntfVersion();
    std::string check = CheckText(walker, media);
    if (entry == nullptr) {
        std::printf("%-3s %-26s %-8s %-30s %s  %s  %s\n", "?", "(unknown drive)", "", "", id.c_str(), version.c_str(),
                    check.c_str());
        return;
    }
    const std::string name = entry->identity.vendor + " " + entry->identity.product;
    std::printf("%c:  %-26s %-8s %-30s %s  %s  %s\n", entry->letter, name.c_str(),
                entry->kind == platform::DriveKind::kReal ? "real" : "virtual", entry->location.c_str(), id.c_str(),
                version.c_str(), check.c_str());
}

int RunDrives(const std::vector<std::string>& args) {
    bool media = false;
    for (const std::string& arg : args) {
        if (arg == "--media") {
            media = true;
            continue;
        }
        std::fprintf(stderr, "usage: dravik-cli drives [--media]\n");
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
        app::PrepareDevice(walker);
        for (bool on = walker.FirstDevice(); on; on = walker.NextDevice(), ++found)
            PrintDrive(EntryFor(table, walker, found), walker, media);
    }
    device::CDDevice::Terminate();
    ::dlclose(resources);
    if (found == 0) std::printf("No drives found.\n");
    return table.Problems().empty() ? kExitOk : kExitFailure;
}

const CliCommandRegistration drivesCommand({"drives", "[--media]",
                                           "list the optical drives through the device library: real ones and "
                                           "virtual ones over the images in DRAVIK_IMAGES (paths separated by ':'), "
                                           "with what the device check learns of each; --media also classifies "
                                           "the disc in each drive",
                                           RunDrives});

}  // namespace

}  // namespace dravik::cli
