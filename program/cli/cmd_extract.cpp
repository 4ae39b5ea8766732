// dravik-cli extract TARGET --to DIR [--overwrite] [--resource-forks]
// [PATH...]: scans TARGET as dravik-cli scan does, then copies the files it
// found on ISO 9660, Joliet, High Sierra and HFS tracks into DIR (with
// --resource-forks an HFS file's resource fork and Finder information go
// beside it as "._NAME"): all of them, or the PATHs given
// as the tree prints them (names below the track's root joined by "/",
// optionally after the track's name: "SAMPLE (Session 1)/PHOTOS"). Each
// track goes into its own folder under DIR. One line per file, then a
// summary; the exit status is 0 only when every requested file was
// written whole.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "device/cddevice/cddevice.h"
#include "program/extract/extractor.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "scan_target.h"

namespace dravik::cli {

namespace {

constexpr char kExtractUsage[] = "TARGET --to DIR [--overwrite] [--resource-forks] [--ignore-joliet] [--show-all] [-C] [PATH...]";

struct ExtractCommandOptions {
    std::string target;
    extract::ExtractOptions extract;
};

bool ParseOptions(const std::vector<std::string>& args, ExtractCommandOptions& options, std::string& error) {
    settings::Settings& s = settings::ProgramSettings;
    bool haveFolder = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--to") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--to needs a folder";
                return false;
            }
            options.extract.targetFolder = args[++i];
            haveFolder = true;
        } else if (arg == "--overwrite") {
            options.extract.overwrite = true;
        } else if (arg == "--resource-forks") {
            options.extract.resourceForks = true;
        } else if (arg == "--ignore-joliet") {
            s.IgnoreJoliet = 1;
        } else if (arg == "--show-all") {
            s.ShowAll = 1;
        } else if (arg == "-C") {
            s.IgnoreChecksums = 1;
        } else if (arg == "--") {
            for (++i; i < args.size(); ++i) options.extract.paths.push_back(args[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (options.target.empty()) {
            options.target = arg;
        } else {
            options.extract.paths.push_back(arg);
        }
    }
    if (options.target.empty()) error = "no target given";
    else if (!haveFolder) error = "no folder given (--to DIR)";
    return error.empty();
}

// Disc names may hold control characters; they are shown as \xHH so that
// they cannot steer the terminal.
std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

class DeviceBlockSource : public extract::BlockSource {
public:
    explicit DeviceBlockSource(device::CDDevice& device) : device_(device) {}
    bool Read(std::int32_t block, int count, std::uint8_t* out) override { return device_.ReadCD(block, out, count); }
    bool Aborted() const override { return InterruptRequested() || device_.IsAbortSet(); }

private:
    device::CDDevice& device_;
};

void PrintFile(const extract::FileReport& file) {
    const std::string disc = Printable(file.discPath);
    const std::string out = Printable(file.outputPath);
    switch (file.outcome) {
        case extract::FileOutcome::kWritten:
            std::printf("written   %s\n", out.c_str());
            break;
        case extract::FileOutcome::kDamaged:
            std::printf("damaged   %s  unreadable blocks %s, written as zeros\n", out.c_str(),
                        extract::BlockRangesText(file.unreadable).c_str());
            break;
        case extract::FileOutcome::kMissing:
            std::printf("missing   %s  its data is not on the disc; not written\n", disc.c_str());
            break;
        case extract::FileOutcome::kKept:
            std::printf("kept      %s  it exists; --overwrite replaces it\n", out.c_str());
            break;
        case extract::FileOutcome::kFailed:
            std::printf("failed    %s  %s\n", (out.empty() ? disc : out).c_str(), file.error.c_str());
            break;
        case extract::FileOutcome::kUnsupported:
        case extract::FileOutcome::kSkipped:
            std::printf("skipped   %s  %s\n", disc.c_str(), file.error.c_str());
            break;
    }
    std::fflush(stdout);
}

int Extract(device::CDDevice& device, scan::ScanOutcome outcome, const extract::ExtractOptions& options) {
    if (outcome == scan::ScanOutcome::Cancelled) {
        std::fprintf(stderr, "dravik-cli extract: cancelled; nothing extracted\n");
        return kExitFailure;
    }
    std::vector<const scan::FoundItem*> roots;
    scan::CatalogueGuard guard;
    for (const scan::TrackNode* node = scan::TrackListHead; node; node = node->next)
        if (node->rootItem) roots.push_back(node->rootItem);

    // Blocks that fail are expected here and told per file, not as prompts.
    device.SetErrorMode(true);
    device.ClearAbortFlag();
    DeviceBlockSource source(device);
    extract::ExtractListener listener;
    listener.onFile = PrintFile;
    listener.onRename = [](const extract::RenameReport& r) {
        std::printf("renamed   %s -> %s  the disc's name cannot be used as it stands\n",
                    Printable(r.discPath).c_str(), Printable(r.outputPath).c_str());
    };
    const extract::ExtractSummary summary = extract::ExtractFiles(roots, source, options, listener);
    device.SetErrorMode(false);

    if (!summary.targetError.empty()) {
        std::fprintf(stderr, "dravik-cli extract: cannot use the folder %s\n", summary.targetError.c_str());
        return kExitFailure;
    }
    for (const std::string& path : summary.notFound)
        std::printf("not found %s\n", Printable(path).c_str());
    if (summary.cancelled) std::fprintf(stderr, "dravik-cli extract: cancelled\n");
    std::printf("Summary: %d written, %d damaged, %d missing, %d kept, %d failed, %zu not found\n",
                summary.Count(extract::FileOutcome::kWritten), summary.Count(extract::FileOutcome::kDamaged),
                summary.Count(extract::FileOutcome::kMissing), summary.Count(extract::FileOutcome::kKept),
                summary.Count(extract::FileOutcome::kFailed) + summary.Count(extract::FileOutcome::kUnsupported),
                summary.notFound.size());
    const bool whole = summary.AllWhole() && outcome != scan::ScanOutcome::Failed;
    return whole ? kExitOk : kExitFailure;
}

int RunExtractCommand(const std::vector<std::string>& args) {
    ExtractCommandOptions options;
    std::string error;
    settings::ResetSettings();
    settings::ProgramSettings.PromptSuppress = 1;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "dravik-cli extract: %s\nusage: dravik-cli extract %s\n", error.c_str(), kExtractUsage);
        return kExitUsage;
    }
    return ScanTargetWith("extract", options.target, [&options](device::CDDevice& device, scan::ScanOutcome outcome) {
        return Extract(device, outcome, options.extract);
    });
}

const CliCommandRegistration extractCommand({"extract", kExtractUsage,
                                           "scan a drive or disc image and copy the files found (or the "
                                           "PATHs given as the tree prints them) into DIR",
                                           RunExtractCommand});

}  // namespace

}  // namespace dravik::cli
