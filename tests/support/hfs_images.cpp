#include "support/hfs_images.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

namespace dravik::test {

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void PutBe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

}  // namespace

bool HaveTools(const std::vector<std::string>& tools) {
    for (const std::string& tool : tools)
        if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) return false;
    return true;
}

std::string PatternContent(const std::string& name, std::size_t size) {
    std::string text;
    while (text.size() < size) text += name + "|";
    text.resize(size);
    return text;
}

HfsVolumeMaker::HfsVolumeMaker(const TempDir& dir, std::string path, int kilobytes, const std::string& name)
    : dir_(dir), path_(dir.File(path)) {
    if (Run("dd if=/dev/zero of=" + Quoted(path_) + " bs=1k count=" + std::to_string(kilobytes) +
            " && hformat -l " + Quoted(name) + " " + Quoted(path_)) &&
        Run("hmount " + Quoted(path_)))
        mounted_ = true;
}

HfsVolumeMaker::~HfsVolumeMaker() { Finish(); }

bool HfsVolumeMaker::Run(const std::string& command, std::string* output) {
    if (!error_.empty()) return false;
    const std::string line = "cd " + Quoted(dir_.path()) + " && HOME=" + Quoted(dir_.path()) + " && export HOME && { " +
                             command + "; } >hfs-tool.out 2>&1";
    const bool ok = std::system(line.c_str()) == 0;
    if (output) *output = dir_.Read("hfs-tool.out");
    if (!ok) error_ = command + "\n" + dir_.Read("hfs-tool.out");
    return ok;
}

void HfsVolumeMaker::Folder(const std::string& macPath) { Run("hmkdir " + Quoted(macPath)); }

void HfsVolumeMaker::File(const std::string& macPath, const std::string& content) {
    const std::string source = dir_.Write("hfs-source-" + std::to_string(files_++), content);
    Run("hcopy -r " + Quoted(source) + " " + Quoted(macPath));
}

void HfsVolumeMaker::MacFile(const std::string& macPath, const std::string& data, const std::string& resource,
                             const std::string& type, const std::string& creator) {
    std::string header(128, '\0');
    const std::string name = macPath.substr(macPath.rfind(':') + 1);
    header[1] = static_cast<char>(name.size());
    header.replace(2, name.size(), name);
    header.replace(65, 4, type.substr(0, 4));
    header.replace(69, 4, creator.substr(0, 4));
    const auto put32 = [&header](std::size_t at, std::size_t value) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>(value >> (24 - 8 * i));
    };
    put32(83, data.size());
    put32(87, resource.size());
    header[122] = header[123] = static_cast<char>(129);  // MacBinary II
    std::uint16_t crc = 0;                                 // CRC-16/XMODEM of bytes 0-123
    for (int i = 0; i < 124; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (static_cast<std::uint8_t>(header[i]) << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    header[124] = static_cast<char>(crc >> 8);
    header[125] = static_cast<char>(crc);
    const auto padded = [](std::string bytes) {
        bytes.resize((bytes.size() + 127) / 128 * 128, '\0');
        return bytes;
    };
    const std::string source = dir_.Write("hfs-source-" + std::to_string(files_++) + ".bin",
                                          header + padded(data) + padded(resource));
    Run("hcopy -m " + Quoted(source) + " " + Quoted(macPath));
}

void HfsVolumeMaker::Rename(const std::string& from, const std::string& to) {
    Run("hrename " + Quoted(from) + " " + Quoted(to));
}

void HfsVolumeMaker::Delete(const std::string& macPath) { Run("hdel " + Quoted(macPath)); }

std::uint64_t HfsVolumeMaker::FreeBytes() {
    std::string output;
    if (!Run("hvol", &output)) return 0;
    std::smatch match;
    if (!std::regex_search(output, match, std::regex("has ([0-9]+) bytes free"))) return 0;
    return std::stoull(match[1]);
}

void HfsVolumeMaker::Finish() {
    if (!mounted_) return;
    mounted_ = false;
    Run("humount");
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> WrapInPartitionMap(const std::vector<std::uint8_t>& volume, std::uint32_t volumeSector,
                                             const std::string& partitionName) {
    const std::size_t volumeSectors = (volume.size() + 511) / 512;
    std::size_t bytes = (std::size_t{volumeSector} + volumeSectors) * 512;
    bytes = (bytes + 2047) / 2048 * 2048;
    std::vector<std::uint8_t> image(bytes, 0);
    // Driver descriptor: "ER", 512-byte blocks, the disc's block count.
    image[0] = 'E', image[1] = 'R', image[2] = 0x02, image[3] = 0x00;
    PutBe32(image, 4, static_cast<std::uint32_t>(bytes / 512));
    const auto entry = [&](std::uint32_t sector, std::uint32_t start, std::uint32_t count, const std::string& name,
                           const std::string& type) {
        const std::size_t at = std::size_t{sector} * 512;
        image[at] = 'P', image[at + 1] = 'M';
        PutBe32(image, at + 4, 2);
        PutBe32(image, at + 8, start);
        PutBe32(image, at + 12, count);
        std::copy(name.begin(), name.begin() + std::min<std::size_t>(name.size(), 31), image.begin() + at + 16);
        std::copy(type.begin(), type.end(), image.begin() + at + 48);
        PutBe32(image, at + 84, count);  // pmDataCnt
    };
    entry(1, 1, 2, "Apple", "Apple_partition_map");
    entry(2, volumeSector, static_cast<std::uint32_t>(volumeSectors), partitionName, "Apple_HFS");
    std::copy(volume.begin(), volume.end(), image.begin() + std::size_t{volumeSector} * 512);
    return image;
}

std::uint16_t GetSectorBe16(const std::vector<std::uint8_t>& image, std::uint64_t sector, std::size_t offset) {
    const std::size_t at = sector * 512 + offset;
    return static_cast<std::uint16_t>((image.at(at) << 8) | image.at(at + 1));
}

std::uint32_t GetSectorBe32(const std::vector<std::uint8_t>& image, std::uint64_t sector, std::size_t offset) {
    return (std::uint32_t{GetSectorBe16(image, sector, offset)} << 16) | GetSectorBe16(image, sector, offset + 2);
}

void PutSectorBe16(std::vector<std::uint8_t>& image, std::uint64_t sector, std::size_t offset, std::uint16_t value) {
    const std::size_t at = sector * 512 + offset;
    image.at(at) = static_cast<std::uint8_t>(value >> 8);
    image.at(at + 1) = static_cast<std::uint8_t>(value);
}

void ZeroSector(std::vector<std::uint8_t>& image, std::uint64_t sector) {
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(sector * 512),
              image.begin() + static_cast<std::ptrdiff_t>(sector * 512 + 512), 0);
}

HfsCatalogPlace CatalogPlace(const std::vector<std::uint8_t>& image, std::uint64_t volume) {
    HfsCatalogPlace place;
    const std::uint64_t mdb = volume + 2;
    place.blockSectors = GetSectorBe32(image, mdb, 20) / 512;
    place.allocationBase = volume + GetSectorBe16(image, mdb, 28);
    for (int i = 0; i < 3; ++i) {
        place.starts[i] = GetSectorBe16(image, mdb, 150 + 4 * i);
        place.counts[i] = GetSectorBe16(image, mdb, 152 + 4 * i);
    }
    return place;
}

std::uint64_t HfsCatalogPlace::NodeSector(std::uint32_t node) const {
    std::uint64_t sector = node;  // sectors into the catalog file
    for (int i = 0; i < 3; ++i) {
        const std::uint64_t extentSectors = std::uint64_t{counts[i]} * blockSectors;
        if (sector < extentSectors) return allocationBase + std::uint64_t{starts[i]} * blockSectors + sector;
        sector -= extentSectors;
    }
    return 0;
}

}  // namespace dravik::test
