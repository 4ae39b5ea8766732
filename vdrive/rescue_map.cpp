#include "vdrive/rescue_map.h"

#include <algorithm>
#include <filesystem>

#include "vdrive/text_lines.h"

namespace dravik::vdrive {

namespace {

struct MapArea {
    int64_t first;  // bytes
    int64_t end;    // first byte after
    bool finished;
};

// Block `byte` falls in, kept to the addresses a disc has.
int32_t BlockOf(int64_t byte, uint32_t blockBytes) {
    return int32_t(std::min<int64_t>(byte / blockBytes, int64_t{kLastAddress} + 1));
}

// The blocks [first, end) of bytes, every block that holds one of them.
void AddUnread(int64_t first, int64_t end, uint32_t blockBytes, std::vector<BlockRange>& unread) {
    if (end <= first) return;
    const int32_t from = BlockOf(first, blockBytes);
    const int32_t to = BlockOf(end - 1, blockBytes);
    if (from > kLastAddress) return;
    unread.push_back(BlockRange{from, std::min(to, kLastAddress)});
}

}  // namespace

bool ParseRescueMap(const std::string& path, std::string_view text, uint32_t blockBytes, RescueMap& out,
                    LoadError& error) {
    auto Fail = [&](int line, const std::string& why) {
        error = LoadError{path, line, why};
        return false;
    };
    if (blockBytes == 0) return Fail(0, "block size 0");
    std::vector<TextLine> lines;
    if (!SplitLines(text, path, lines, error)) return false;
    std::vector<MapArea> areas;
    bool statusSeen = false;
    for (const TextLine& line : lines) {
        if (line.text.empty() || line.text[0] == '#') continue;
        std::vector<std::string> w;
        if (!SplitWords(line, path, w, error)) return false;
        // The first line without '#' is ddrescue's own position and phase.
        if (!statusSeen) {
            int64_t position = 0;
            if (w.size() < 2 || w.size() > 3 || !ParseNumber(w[0], 0, INT64_MAX, position))
                return Fail(line.number, "not a ddrescue mapfile: its first line is not 'position status'");
            statusSeen = true;
            continue;
        }
        int64_t position = 0, size = 0;
        if (w.size() != 3 || !ParseNumber(w[0], 0, INT64_MAX, position) || !ParseNumber(w[1], 0, INT64_MAX, size) ||
            w[2].size() != 1 || std::string_view("?*/-+").find(w[2][0]) == std::string_view::npos)
            return Fail(line.number, "expected 'position size status' with a status of ? * / - or +");
        if (size == 0) continue;
        if (areas.size() >= kMaxRescueAreas) return Fail(line.number, "too many areas");
        const int64_t end = size > INT64_MAX - position ? INT64_MAX : position + size;
        areas.push_back(MapArea{position, end, w[2][0] == '+'});
    }
    if (!statusSeen) return Fail(0, "not a ddrescue mapfile: it holds no position line");
    std::sort(areas.begin(), areas.end(), [](const MapArea& a, const MapArea& b) { return a.first < b.first; });
    out = RescueMap{};
    // Bytes no area describes, between areas, were never read either.
    // An area that runs past what a disc can address stands for "to the
    // end of the device" (ddrescue writes that when it did not know the
    // size): it does not make the disc longer.
    const int64_t addressable = (int64_t{kLastAddress} + 1) * blockBytes;
    int64_t covered = 0, bounded = 0;
    for (const MapArea& area : areas) {
        if (area.first > covered) AddUnread(covered, area.first, blockBytes, out.unread);
        if (!area.finished) AddUnread(area.first, area.end, blockBytes, out.unread);
        covered = std::max(covered, area.end);
        if (area.end <= addressable) bounded = std::max(bounded, area.end);
    }
    MergeRanges(out.unread);
    out.end = int32_t(bounded / blockBytes + (bounded % blockBytes != 0 ? 1 : 0));
    out.described = int32_t(std::min<int64_t>(covered / blockBytes + (covered % blockBytes != 0 ? 1 : 0),
                                              int64_t{kLastAddress} + 1));
    return true;
}

bool LoadRescueMap(const std::string& path, uint32_t blockBytes, RescueMap& out, LoadError& error) {
    std::string text;
    return ReadTextFile(path, text, error, kMaxRescueMapBytes) && ParseRescueMap(path, text, blockBytes, out, error);
}

std::string RescueMapBeside(const std::string& image) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const std::string appended = image + ".map";
    if (fs::is_regular_file(appended, ignored)) return appended;
    const fs::path path(image);
    if (!path.has_extension()) return {};
    const std::string replaced = fs::path(path).replace_extension(".map").string();
    if (fs::is_regular_file(replaced, ignored)) return replaced;
    return {};
}

void ApplyRescueMap(const RescueMap& map, int32_t discEnd, Disc& disc) {
    disc.unreadable.insert(disc.unreadable.end(), map.unread.begin(), map.unread.end());
    if (map.described < discEnd) disc.unreadable.push_back(BlockRange{map.described, discEnd - 1});
    MergeRanges(disc.unreadable);
}

}  // namespace dravik::vdrive
