#include "support/scratch_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace dravik::fuzz {
namespace {

// Each name with its size: 64 raw or user-data sectors, or 64 subchannel blocks.
struct ScratchFile {
    const char* name;
    std::size_t bytes;
};
constexpr ScratchFile kFiles[] = {
    {"disc.bin", 64 * 2352}, {"disc.img", 64 * 2352}, {"disc.sub", 64 * 96},   {"disc.iso", 64 * 2048},
    {"track01.bin", 32 * 2352}, {"track02.bin", 32 * 2352}, {"data.iso", 32 * 2048}, {"audio.raw", 32 * 2352},
};

std::string MakeFolder() {
    // In memory when the machine offers it: the database harness rewrites
    // (and syncs) its file at every input.
    std::string base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    if (std::filesystem::is_directory("/dev/shm")) base = "/dev/shm";
    std::string pattern = base + "/dravik-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) std::abort();
    const std::string folder = name.data();
    for (const ScratchFile& f : kFiles) {
        std::FILE* out = std::fopen((folder + "/" + f.name).c_str(), "wb");
        if (!out) std::abort();
        // Recognisable, not all zeros: each byte its offset's low bits.
        for (std::size_t i = 0; i < f.bytes; ++i) std::fputc(static_cast<int>(i * 7 & 0xFF), out);
        std::fclose(out);
    }
    // A ddrescue map beside disc.iso: the first half read, the rest bad.
    std::FILE* map = std::fopen((folder + "/disc.map").c_str(), "wb");
    if (!map) std::abort();
    std::fputs("0x00000000  +  1\n0x00000000  0x00010000  +\n0x00010000  0x00010000  -\n", map);
    std::fclose(map);
    return folder;
}

}  // namespace

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string made = MakeFolder();
        static const std::string removeAtExit = made;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return made;
    }();
    return folder;
}

std::string ScratchPath(std::string_view name) { return ScratchFolder() + "/" + std::string(name); }

}  // namespace dravik::fuzz
