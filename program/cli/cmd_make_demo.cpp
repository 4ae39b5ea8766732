// dravik-cli make-demo DIR: writes the sample disc of the README into DIR:
// a two-session CD-R as a disc description (sample.vdisc) over one file
// per session. The first session holds a report, three photos and a notes
// folder; the second session, written later, carries the report over in a
// new version and one photo, adds a summary, and no longer lists the other
// photos and the notes, as a writer does when files were deleted. A plain
// mount shows only the second session; a scan shows both.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli_command.h"
#include "demo_iso_writer.h"
#include "platform/atomic_file.h"

namespace dravik::cli {

namespace {

// A CD-R's gap between the end of one session and the next one's first
// track: lead-out, lead-in and pre-gap.
constexpr std::int32_t kSessionGap = 6750 + 4500 + 150;

std::string PhotoBytes(unsigned seed, std::size_t length) {
    // Stand-in image data: a JPEG start marker and repeatable noise.
    std::string bytes = "\xFF\xD8\xFF\xE0";
    unsigned state = seed * 2654435761u + 1;
    while (bytes.size() < length) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 24);
    }
    return bytes;
}

bool Save(const std::string& path, const std::string& bytes) {
    if (const int error = platform::WriteFileAtomically(path, bytes)) {
        std::fprintf(stderr, "dravik-cli make-demo: %s: %s\n", path.c_str(), platform::ErrorText(error).c_str());
        return false;
    }
    return true;
}

int RunMakeDemo(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: dravik-cli make-demo DIR\n");
        return kExitUsage;
    }
    const std::string& folder = args[0];
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "dravik-cli make-demo: %s: %s\n", folder.c_str(), platform::ErrorText(errno).c_str());
        return kExitFailure;
    }

    DemoSession first;
    first.volumeId = "HOLIDAY_2024";
    first.start = 0;
    first.date[1] = 3, first.date[2] = 14;
    first.files = {
        {"REPORT.TXT", "Trip report, first draft.\nDay 1: arrived late, rain.\n", -1, 0},
        {"PHOTOS/IMG_0001.JPG", PhotoBytes(1, 30000), -1, 0},
        {"PHOTOS/IMG_0002.JPG", PhotoBytes(2, 42000), -1, 0},
        {"PHOTOS/IMG_0003.JPG", PhotoBytes(3, 25000), -1, 0},
        {"NOTES/TODO.TXT", "Back up the photos before burning the next session.\n", -1, 0},
    };
    const std::vector<std::uint8_t> firstBlocks = WriteDemoSession(first);
    const std::int32_t firstLength = static_cast<std::int32_t>(firstBlocks.size() / 2048);

    DemoSession second;
    second.volumeId = "HOLIDAY_2024";
    second.start = firstLength + kSessionGap;
    second.date[1] = 4, second.date[2] = 2;
    second.files = {
        {"REPORT.TXT", "Trip report, final.\nDay 1: arrived late, rain.\nDay 2: sun.\n", -1, 0},
        first.files[1],  // IMG_0001.JPG stays where the first session put it
        {"SUMMARY.TXT", "Kept one photo; the others were deleted from this session.\n", -1, 0},
    };
    const std::vector<std::uint8_t> secondBlocks = WriteDemoSession(second);

    const std::string description =
        "# The sample disc of the README, written by dravik-cli make-demo: a CD-R\n"
        "# with two closed sessions. The second session's directory no longer\n"
        "# lists IMG_0002.JPG, IMG_0003.JPG and NOTES/TODO.TXT of the first.\n"
        "medium cd-r\n"
        "session start 0\n"
        "track mode1 file session1.iso\n"
        "session start " + std::to_string(second.start) + "\n"
        "track mode1 file session2.iso\n";
    const auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
    if (!Save(folder + "/session1.iso", text(firstBlocks)) || !Save(folder + "/session2.iso", text(secondBlocks)) ||
        !Save(folder + "/sample.vdisc", description))
        return kExitFailure;
    std::printf("%s/sample.vdisc\n", folder.c_str());
    return kExitOk;
}

const CliCommandRegistration makeDemoCommand({"make-demo", "DIR",
                                           "write the README's sample disc (two sessions, files the second "
                                           "no longer lists) into DIR as sample.vdisc",
                                           RunMakeDemo});

}  // namespace

}  // namespace dravik::cli
