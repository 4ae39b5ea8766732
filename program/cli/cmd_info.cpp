// dravik-cli info TARGET: scans TARGET as dravik-cli scan does, then prints
// the disc information the program's Disc Information window shows: the
// drive, the medium and one line per track with its file system, volume
// name and the files found.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "program/app/disc_report.h"
#include "program/settings/settings.h"
#include "scan_target.h"

namespace dravik::cli {

namespace {

constexpr char kInfoUsage[] = "TARGET";

int RunInfoCommand(const std::vector<std::string>& args) {
    settings::ResetSettings();
    settings::ProgramSettings.PromptSuppress = 1;
    std::string error;
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        error = args.empty() ? "no target given" : "unknown argument " + (args.size() > 1 ? args[1] : args[0]);
    if (!error.empty()) {
        std::fprintf(stderr, "dravik-cli info: %s\nusage: dravik-cli info %s\n", error.c_str(), kInfoUsage);
        return kExitUsage;
    }
    return ScanTargetWith("info", args[0], [](device::CDDevice& device, scan::ScanOutcome outcome) {
        const std::string text = app::DiscReportText(app::BuildDiscReport(&device));
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (outcome == scan::ScanOutcome::Cancelled) std::fprintf(stderr, "dravik-cli info: cancelled\n");
        return outcome == scan::ScanOutcome::Failed ? kExitFailure : kExitOk;
    });
}

const CliCommandRegistration infoCommand({"info", kInfoUsage,
                                          "scan a drive or disc image and print the drive, the medium and "
                                          "its tracks as the Disc Information window shows them",
                                          RunInfoCommand});

}  // namespace

}  // namespace dravik::cli
