// Test fixture for the ISO reader on images that real mastering tools
// (genisoimage, xorriso) make at test time: a source folder to fill, the
// tool run in the test's folder, and checks of the catalogue against what
// was put in.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "iso_reader_fixture.h"
#include "platform/byte_order.h"

namespace dravik::test {

namespace fs = std::filesystem;

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The bytes of a test file: its path repeated, so that a wrong extent shows.
inline std::string Content(const std::string& path, std::size_t size) {
    std::string text;
    while (text.size() < size) text += path + "|";
    text.resize(size);
    return text;
}

class RealImageTest : public IsoReaderTest {
protected:
    void SetUp() override {
        IsoReaderTest::SetUp();
        source_ = dir_.File("src");
        fs::create_directories(source_);
    }

    void AddFile(const std::string& path, std::size_t size) {
        const fs::path full = fs::path(source_) / path;
        fs::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << Content(path, size);
        files_[path] = static_cast<std::uint32_t>(size);
    }

    // Runs a tool command in the test folder; fails the test when it fails.
    void Run(const std::string& command) {
        const std::string line = "cd '" + dir_.path() + "' && { " + command + "; } >tool.out 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << command << "\n" << dir_.Read("tool.out");
    }

    static std::int32_t Blocks(const std::string& image) {
        return static_cast<std::int32_t>(fs::file_size(image) / 2048);
    }

    // Zeroes one block of an image file.
    static void ZeroBlock(const std::string& image, std::int32_t block) {
        std::fstream file(image, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(std::streamoff(block) * 2048);
        const std::string zeros(2048, '\0');
        file.write(zeros.data(), zeros.size());
    }

    // The extent of a directory named in the image's type L path table,
    // found without the reader.
    static std::int32_t PathTableExtent(const std::string& image, const std::string& name) {
        std::ifstream file(image, std::ios::binary);
        std::vector<std::uint8_t> pvd(2048);
        file.seekg(16 * 2048);
        file.read(reinterpret_cast<char*>(pvd.data()), 2048);
        const std::uint32_t size = bytes::GetLe32(pvd.data() + 132);
        std::vector<std::uint8_t> table(size);
        file.seekg(std::streamoff(bytes::GetLe32(pvd.data() + 140)) * 2048);
        file.read(reinterpret_cast<char*>(table.data()), size);
        for (std::size_t at = 0; at + 8 <= table.size() && table[at];) {
            const std::size_t length = table[at];
            if (std::string(reinterpret_cast<const char*>(&table[at + 8]), length) == name)
                return static_cast<std::int32_t>(bytes::GetLe32(&table[at + 2]));
            at += 8 + length + length % 2;
        }
        return -1;
    }

    // Every file put in is in the catalogue with its size, and nothing else.
    void ExpectFiles(const scan::TrackNode* track) {
        EXPECT_EQ(FileSizes(track), files_);
    }
    // Each file's first block holds its bytes.
    void ExpectContents(const scan::TrackNode* track, const std::string& prefix = {}) {
        for (const auto& [path, item] : Paths(track)) {
            if ((item->flags & scan::ItemDirectory) || item->size == 0) continue;
            std::string plain = path;
            if (plain.size() > 2 && plain.compare(plain.size() - 2, 2, ";1") == 0) plain.resize(plain.size() - 2);
            const std::size_t length = std::min<std::size_t>(item->size, 40);
            EXPECT_EQ(BlockText(item->start, length), Content(prefix + plain, length)) << path;
        }
    }

    std::string source_;
    std::map<std::string, std::uint32_t> files_;
};

#define REQUIRE_TOOL(name) \
    if (!HaveTool(name)) GTEST_SKIP() << name " is not installed (scripts/bootstrap installs it)"

}  // namespace dravik::test
