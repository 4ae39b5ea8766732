// dravik-cli drives with the device check: for each accepted drive its
// name, MMC or not, speed method and read speed, buffer size and, with
// --media, the disc classification; refused drives with the reason; the
// database beside the program is read, never written.
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

using dravik::test::CliRun;
using dravik::test::DiscBuilder;
using dravik::test::RunCli;
using dravik::test::TempDir;
using dravik::test::TrackKind;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CliRun RunDrives(const std::vector<std::string>& images, const std::string& options) {
    TempDir config;
    std::string joined;
    for (const std::string& image : images) joined += (joined.empty() ? "" : ":") + image;
    std::vector<std::string> args{"drives"};
    if (!options.empty()) args.push_back(options);
    return RunCli(args, {{"DRAVIK_CONFIG_DIR", config.path()}, {"DRAVIK_IMAGES", joined}});
}

// The output line of the drive whose image is `path`.
std::string LineOf(const std::string& out, const std::string& path) {
    std::stringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.find(path) != std::string::npos) return line;
    return "";
}

std::string Describe(TempDir& dir, const std::vector<std::string>& drive, const std::string& medium = "cd-rom") {
    DiscBuilder b(dir);
    for (const std::string& line : drive) b.Directive(line);
    b.Medium(medium);
    if (medium != "none") b.Track(TrackKind::kMode1, 300);
    return b.Write();
}

TEST(DrivesCheck, EachDriveShowsWhatTheCheckLearnedOrWhyItWasRefused) {
    TempDir a, b, c, d, e;
    const std::string mmc = Describe(a, {"vendor ACME", "product \"CD-RW  8X\""}, "cd-rw");
    const std::string older = Describe(b, {"vendor OLDCO", "product CDROM-4", "interface older", "buffer 256"});
    const std::string plextor =
        Describe(c, {"vendor PLEXTOR", "product PX-W1210", "interface older", "pages 01 0d 31", "page 31 02 28 00"});
    const std::string disk = Describe(d, {"vendor DISKCO", "product HDD", "device-type 0", "removable no"});
    const std::string empty = Describe(e, {"vendor BURNCO", "product WRITER"}, "none");
    const std::string database = ReadText(dravik::test::BuildDir() + "/Shared/ASPIDEV.DDB");

    struct Row {
        const std::string* image;
        const char* plain;   // without --media
        const char* media;   // what --media adds
    } rows[] = {
        {&mmc, "\"ACME CD-RW 8X\", MMC, speed method 0, read speed 40x, buffer 2048 KB", ", medium CD-RW (media type 0x20)"},
        {&older, "\"OLDCO CDROM-4\", not MMC, speed method none, buffer 256 KB", ", medium CD-ROM (media type 0x01)"},
        {&plextor, "\"PLEXTOR PX-W1210\", not MMC, speed method 6, read speed code 0x28, buffer 2048 KB",
         ", medium CD-ROM (media type 0x01)"},
        {&disk, "refused: a fixed disk", ""},
        {&empty, "\"BURNCO WRITER\", MMC, speed method 0, read speed 40x, buffer 2048 KB", ", medium none"},
    };
    const std::vector<std::string> images{mmc, older, plextor, disk, empty};

    CliRun plain = RunDrives(images, "");
    ASSERT_EQ(plain.status, 0) << plain.err;
    CliRun media = RunDrives(images, "--media");
    ASSERT_EQ(media.status, 0) << media.err;
    for (const Row& row : rows) {
        const std::string line = LineOf(plain.out, *row.image);
        ASSERT_FALSE(line.empty()) << plain.out;
        EXPECT_EQ(line.substr(line.size() - std::string(row.plain).size()), row.plain) << line;
        const std::string mediaLine = LineOf(media.out, *row.image);
        const std::string expected = std::string(row.plain) + row.media;
        ASSERT_GE(mediaLine.size(), expected.size()) << mediaLine;
        EXPECT_EQ(mediaLine.substr(mediaLine.size() - expected.size()), expected) << mediaLine;
    }
    // The PLEXTOR entry of the shipped database named its commands; the
    // database itself is left as it was.
    EXPECT_EQ(ReadText(dravik::test::BuildDir() + "/Shared/ASPIDEV.DDB"), database);
}

TEST(DrivesCheck, UnknownOptionsAreRefused) {
    CliRun run = RunDrives({}, "--mediums");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: dravik-cli drives [--media]"), std::string::npos) << run.err;
}

}  // namespace
