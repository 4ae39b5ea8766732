// dravik-cli scan [options] TARGET: scans one drive as the program does and
// prints the track list and the catalogue. TARGET is a drive letter ("D:"),
// a device node ("/dev/sr0") or an image or description file, which is
// served by a virtual drive for the run. The scan runs on its own thread
// exactly as in the program; this thread plays the user-interface thread,
// shows a progress line on a terminal and turns Ctrl-C into the abort flag.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/app/scan_report.h"
#include "scan_target.h"

namespace dravik::cli {

namespace {

constexpr char kScanUsage[] =
    "[--json] [--show-all] [--ignore-joliet] [--accept-errors] [--keep-udf-dups] [--intensive] [-C] TARGET";

struct ScanOptions {
    bool json = false;
    std::string target;
};

bool ParseOptions(const std::vector<std::string>& args, ScanOptions& options, std::string& error) {
    settings::Settings& s = settings::ProgramSettings;
    for (const std::string& arg : args) {
        if (arg == "--json") options.json = true;
        else if (arg == "--show-all") s.ShowAll = 1;
        else if (arg == "--ignore-joliet") s.IgnoreJoliet = 1;
        else if (arg == "--accept-errors") s.AcceptErrors = 1;
        else if (arg == "--keep-udf-dups") s.KeepUDFDups = 1;
        else if (arg == "--intensive") s.IntensiveScan = 1;
        else if (arg == "-C") s.IgnoreChecksums = 1;
        else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (!options.target.empty()) {
            error = "more than one target: " + options.target + ", " + arg;
            return false;
        } else {
            options.target = arg;
        }
    }
    if (options.target.empty()) error = "no target given";
    return !options.target.empty();
}

int RunScanCommand(const std::vector<std::string>& args) {
    ScanOptions options;
    std::string error;
    settings::ResetSettings();
    // Questions are answered by the CLI's port; the busy bar is not shown.
    settings::ProgramSettings.PromptSuppress = 1;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "dravik-cli scan: %s\nusage: dravik-cli scan %s\n", error.c_str(), kScanUsage);
        return kExitUsage;
    }
    return ScanTargetWith("scan", options.target, [&options](device::CDDevice&, scan::ScanOutcome outcome) {
        const app::ReportSink toStdout = [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); };
        if (options.json)
            app::WriteScanReportJson(toStdout);
        else
            app::WriteScanReportText(toStdout);
        if (outcome == scan::ScanOutcome::Cancelled) std::fprintf(stderr, "dravik-cli scan: cancelled\n");
        return outcome == scan::ScanOutcome::Failed ? kExitFailure : kExitOk;
    });
}

const CliCommandRegistration scanCommand({"scan", kScanUsage,
                                           "scan a drive (D:), a device node or a disc image and print its "
                                           "tracks and files as a tree (--json: as JSON)",
                                           RunScanCommand});

}  // namespace

}  // namespace dravik::cli
