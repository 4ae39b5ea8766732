#include "udf_images.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "support/kernel_udf_writer.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {

namespace {

namespace fs = std::filesystem;

constexpr int kManyFiles = 40;
// Made images are kept in the build folder, so that the test processes of
// one run (and later runs) share them; a change to the tree or the tools'
// commands needs a new name here.
constexpr char kImageSet[] = "udf-images-1";
constexpr std::int64_t kVolumeBlocks = 3000;
// Written first and removed before the rest of the large file is appended,
// so that the kernel gives that file several extents.
constexpr char kFiller[] = "filler";
constexpr std::size_t kFillerBytes = 40000;
constexpr char kLargeFile[] = "Docs/big.bin";
constexpr std::size_t kLargeFirstPart = 100000;

bool HaveTool(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

void WriteFile(const fs::path& root, const std::string& path, std::size_t size) {
    const fs::path full = root / path;
    fs::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << UdfTestContent(path, size);
}

struct Built {
    TempDir dir;
    std::map<UdfImageKind, UdfImage> images;
};

Built& Store() {
    static Built built;
    return built;
}

bool Run(const std::string& command, std::string& why) {
    const std::string log = Store().dir.File("tool.out");
    if (std::system((command + " >'" + log + "' 2>&1").c_str()) == 0) return true;
    why = command + "\n" + Store().dir.Read("tool.out");
    return false;
}

// The tree in two stages: everything with the first part of the large
// file plus the filler; then the rest of the large file, appended.
void WriteSources(const fs::path& first, const fs::path& rest) {
    for (const auto& [path, size] : UdfTestFiles()) {
        if (path != kLargeFile) {
            WriteFile(first, path, size);
            continue;
        }
        const std::string whole = UdfTestContent(path, size);
        fs::create_directories((first / path).parent_path());
        std::ofstream(first / path, std::ios::binary) << whole.substr(0, kLargeFirstPart);
        std::ofstream(rest, std::ios::binary) << whole.substr(kLargeFirstPart);
    }
    WriteFile(first, std::string(kFiller) + "/fill.bin", kFillerBytes);
}

UdfImage MakeBridge() {
    UdfImage image;
    if (!HaveTool("genisoimage")) {
        image.skip = true;
        image.why = "genisoimage is not installed";
        return image;
    }
    const fs::path source = Store().dir.File("bridge-src");
    for (const auto& [path, size] : UdfTestFiles()) WriteFile(source, path, size);
    const std::string path = Store().dir.File("bridge.iso");
    if (Run("genisoimage -quiet -udf -input-charset utf-8 -o '" + path + "' '" + source.string() + "'", image.why))
        image.path = path;
    return image;
}

UdfImage MakeKernelVolume(const std::string& name, const std::string& options) {
    UdfImage image;
    if (!HaveTool("mkudffs")) {
        image.skip = true;
        image.why = "mkudffs (udftools) is not installed";
        return image;
    }
    const std::string path = Store().dir.File(name);
    if (!Run("mkudffs " + options + " --label=" + name.substr(0, name.find('.')) + " '" + path + "' " +
                 std::to_string(kVolumeBlocks),
             image.why))
        return image;
    const fs::path first = Store().dir.File("stage1");
    const fs::path rest = Store().dir.File("rest.bin");
    if (!fs::exists(first)) WriteSources(first, rest);
    const std::vector<KernelWriteStep> steps = {{first.string(), {kFiller}, {}}, {"", {}, {{rest.string(), kLargeFile}}}};
    switch (WriteWithKernel(path, steps, image.why)) {
        case KernelWriteResult::kWritten: image.path = path; break;
        case KernelWriteResult::kNoKernel: image.skip = true; break;
        case KernelWriteResult::kFailed: break;
    }
    return image;
}

}  // namespace

std::string UdfTestContent(const std::string& path, std::size_t size) {
    std::string text;
    while (text.size() < size) text += path + "|";
    text.resize(size);
    return text;
}

const std::map<std::string, std::uint32_t>& UdfTestFiles() {
    static const std::map<std::string, std::uint32_t> files = [] {
        std::map<std::string, std::uint32_t> list = {
            {"Docs/Deep/Deeper/nested.txt", 700},
            {kLargeFile, 300000},
            {"gap.bin", 8000},
            {"tiny.txt", 5},  // kept inside its File Entry by the kernel
            {"Grüße.txt", 3000},
            {"日本語.txt", 2500},
        };
        for (int i = 0; i < kManyFiles; ++i)
            list["Many/an entry with a name long enough to fill a directory block " + std::to_string(i) + ".txt"] =
                100 + i;
        return list;
    }();
    return files;
}

const UdfImage& BuiltUdfImage(UdfImageKind kind) {
    auto& images = Store().images;
    auto found = images.find(kind);
    if (found != images.end()) return found->second;
    static const char* const kNames[] = {"bridge.iso", "PLAIN.img", "SPARABLE.img"};
    const fs::path cache = fs::path(BuildDir()) / "test-images" / kImageSet;
    const fs::path kept = cache / kNames[static_cast<int>(kind)];
    fs::create_directories(cache);
    // One process makes an image while the others of the run wait for it.
    const int lock = ::open((cache / ".lock").c_str(), O_CREAT | O_RDWR, 0600);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    UdfImage image;
    if (fs::exists(kept)) {
        image.path = kept.string();
    } else {
        switch (kind) {
            case UdfImageKind::kBridge: image = MakeBridge(); break;
            case UdfImageKind::kPlain: image = MakeKernelVolume("PLAIN.img", "--media-type=hd --blocksize=2048"); break;
            case UdfImageKind::kSparable: image = MakeKernelVolume("SPARABLE.img", "--media-type=cdrw"); break;
        }
        if (!image.path.empty()) {
            std::error_code error;
            fs::copy_file(image.path, kept.string() + ".part", fs::copy_options::overwrite_existing, error);
            if (!error) fs::rename(kept.string() + ".part", kept, error);
            if (!error) image.path = kept.string();
        }
    }
    if (lock >= 0) ::close(lock);
    return images[kind] = image;
}

ImageBytes::ImageBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), {});
}

std::int64_t ImageBytes::FindTag(std::uint16_t tag, std::int64_t from, std::int64_t to) const {
    for (std::int64_t b = std::max<std::int64_t>(from, 0); b < to && b < Blocks(); ++b) {
        const std::uint8_t* d = bytes.data() + b * 2048;
        if ((d[0] | (d[1] << 8)) == tag) return b;
    }
    return -1;
}

}  // namespace dravik::test
