// The UDF reader over the whole device stack, on the real-tool images of
// udf_images.h: one data track over the image, read as the scan reads it
// (the ISO reader hands the track over), and files copied out with the
// shared extractor.
#pragma once

#include <filesystem>
#include <fstream>

#include "iso_reader_fixture.h"
#include "program/extract/extractor.h"
#include "program/scan/driver/program_file_systems.h"
#include "udf_images.h"

namespace dravik::test {

// Skips the test when the image's tool is missing here; fails it when the
// tool is there but the image could not be made.
#define REQUIRE_UDF_IMAGE(kind, name)                      \
    const UdfImage& name = BuiltUdfImage(kind);            \
    if (name.skip) GTEST_SKIP() << name.why;               \
    ASSERT_FALSE(name.path.empty()) << name.why

class DeviceBlocks : public extract::BlockSource {
public:
    explicit DeviceBlocks(device::CDDevice& device) : device_(device) {}
    bool Read(std::int32_t block, int count, std::uint8_t* out) override { return device_.ReadCD(block, out, count); }

private:
    device::CDDevice& device_;
};

class UdfReaderTest : public IsoReaderTest {
protected:
    void SetUp() override {
        IsoReaderTest::SetUp();
        scan::InstallProgramFileSystems();
        diag::DebugMode = false;  // the fuzz and image tests read many blocks
    }

    // Serves the image and reads one track over all of it.
    scan::TrackNode* ScanImage(const std::string& path) {
        Insert(path);
        blocks_ = static_cast<std::int32_t>(std::filesystem::file_size(path) / 2048);
        return Rescan();
    }
    // Reads the same disc again (after the test changed blocks).
    scan::TrackNode* Rescan() {
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, blocks_);
        AddLeadOut(blocks_);
        lastRead_ = Read(track);
        return track;
    }

    // Copies every file of the track into a fresh folder; the track's
    // folder inside it.
    std::string ExtractAll(const scan::TrackNode* track, extract::ExtractSummary& summary) {
        const std::string target = out_.File("x" + std::to_string(++extractions_));
        std::filesystem::create_directories(target);
        DeviceBlocks source(*device_);
        extract::ExtractOptions options;
        options.targetFolder = target;
        summary = extract::ExtractFiles({track->rootItem}, source, options);
        for (const auto& entry : std::filesystem::directory_iterator(target)) return entry.path().string();
        return target;
    }

    static std::string FileText(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::int32_t blocks_ = 0;
    bool lastRead_ = false;
    TempDir out_;
    int extractions_ = 0;
};

}  // namespace dravik::test
