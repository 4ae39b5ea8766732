// UDF volumes made by real tools for the reader's tests, built once per
// test run: a genisoimage bridge disc, and mkudffs volumes (plain, and
// CD-RW with a sparable partition) whose files the Linux kernel's UDF
// driver wrote through user-mode Linux. Every image carries the same tree.
// The images are kept in the build folder (test-images/) and made again
// only when they are not there.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dravik::test {

// The bytes of a test file: its path repeated, so that a wrong block shows.
std::string UdfTestContent(const std::string& path, std::size_t size);

enum class UdfImageKind { kBridge, kPlain, kSparable };

struct UdfImage {
    std::string path;   // empty when it could not be made
    std::string why;    // why not (a missing tool is a reason to skip)
    bool skip = false;  // the tool or the kernel is not available here
};

// path -> size of every file the images carry.
const std::map<std::string, std::uint32_t>& UdfTestFiles();
// The image of `kind`, made when the build folder does not hold it yet.
const UdfImage& BuiltUdfImage(UdfImageKind kind);

// Little helpers over a whole image held in memory.
struct ImageBytes {
    std::vector<std::uint8_t> bytes;
    explicit ImageBytes(const std::string& path);
    std::uint8_t* Block(std::int64_t block) { return bytes.data() + block * 2048; }
    std::int64_t Blocks() const { return static_cast<std::int64_t>(bytes.size() / 2048); }
    // The first block in [from, to) whose tag is `tag`; -1 when none.
    std::int64_t FindTag(std::uint16_t tag, std::int64_t from, std::int64_t to) const;
};

}  // namespace dravik::test
