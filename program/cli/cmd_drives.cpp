// dravik-cli drives: lists the drive table: letter, vendor and product,
// real or virtual, device node or image path. Images that cannot be served
// are reported on stderr, one line each, naming the file and line at fault.
#include <cstdio>

#include "cli_command.h"
#include "platform/drive_table.h"

namespace dravik::cli {

namespace {

int RunDrives(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: dravik-cli drives\n");
        return kExitUsage;
    }
    const platform::DriveTable& table = platform::DriveTable::Process();
    for (const std::string& problem : table.Problems()) std::fprintf(stderr, "dravik-cli drives: %s\n", problem.c_str());
    if (table.Drives().empty()) {
        std::printf("No drives found.\n");
        return table.Problems().empty() ? kExitOk : kExitFailure;
    }
    for (const platform::DriveEntry& e : table.Drives()) {
        const std::string name = e.identity.vendor + " " + e.identity.product;
        std::printf("%c:  %-26s %-8s %s\n", e.letter, name.c_str(),
                    e.kind == platform::DriveKind::kReal ? "real" : "virtual", e.location.c_str());
    }
    return table.Problems().empty() ? kExitOk : kExitFailure;
}

const CliCommandRegistration registration({"drives", "",
                                           "list the optical drives: real ones and virtual ones over the images in "
                                           "DRAVIK_IMAGES (paths separated by ':')",
                                           RunDrives});

}  // namespace

}  // namespace dravik::cli
