// The ddrescue map parser, and the marking of a disc's unreadable blocks
// from what it parsed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vdrive/rescue_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dravik::vdrive;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::uint32_t blockBytes : {2048u, 2352u}) {
        RescueMap map;
        LoadError error;
        if (!ParseRescueMap("disc.map", text, blockBytes, map, error)) continue;
        Disc disc;
        Track track;
        track.end = 1000;
        disc.tracks.push_back(track);
        if (!FinishDisc(disc).empty()) __builtin_trap();
        ApplyRescueMap(map, 1000, disc);
        // What the map marks unreadable must come out sorted and apart.
        for (std::size_t i = 0; i < disc.unreadable.size(); ++i) {
            if (disc.unreadable[i].first > disc.unreadable[i].last) __builtin_trap();
            if (i && disc.unreadable[i].first <= disc.unreadable[i - 1].last + 1) __builtin_trap();
        }
    }
    return 0;
}
