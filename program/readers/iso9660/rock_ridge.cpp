#include "program/readers/iso9660/rock_ridge.h"

#include <utility>
#include <vector>

#include "platform/byte_order.h"
#include "program/readers/iso9660/iso_structures.h"

namespace dravik::readers::iso {

namespace {

constexpr std::uint8_t kNameContinue = 0x01;
constexpr std::uint8_t kNameCurrent = 0x02;
constexpr std::uint8_t kNameParent = 0x04;
constexpr std::uint8_t kComponentContinue = 0x01;
constexpr std::uint8_t kComponentCurrent = 0x02;
constexpr std::uint8_t kComponentParent = 0x04;
constexpr std::uint8_t kComponentRoot = 0x08;
constexpr std::uint8_t kTimeCreation = 0x01;
constexpr std::uint8_t kTimeModify = 0x02;
constexpr std::uint8_t kTimeLongForm = 0x80;

bool Is(const std::uint8_t* entry, char a, char b) { return entry[0] == a && entry[1] == b; }

void AppendLimited(std::string& out, const std::uint8_t* bytes, std::size_t length, std::size_t limit) {
    const std::size_t room = out.size() < limit ? limit - out.size() : 0;
    out.append(reinterpret_cast<const char*>(bytes), std::min(length, room));
}

// The walk of one record's entries over all its areas.
class Walker {
public:
    explicit Walker(RockRidgeEntries& out) : out_(out) {}

    // Walks one area; returns false when an "ST" entry ended the walk.
    bool Area(const std::uint8_t* area, std::size_t length) {
        std::size_t at = 0;
        while (at + 4 <= length) {
            const std::uint8_t* entry = area + at;
            const std::size_t entryLength = entry[2];
            if (entry[3] != 1 || entryLength < 4 || at + entryLength > length) break;
            out_.any = true;
            if (Is(entry, 'S', 'T')) return false;
            Entry(entry, entryLength);
            at += entryLength;
        }
        return true;
    }

    bool nameOpen = false;
    bool linkOpen = false;  // the last "SL" entry said the target goes on
    bool componentOpen = false;
    std::optional<std::pair<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>>> continuation;

private:
    void Entry(const std::uint8_t* entry, std::size_t length) {
        if (Is(entry, 'S', 'P') && length >= 7 && entry[4] == 0xBE && entry[5] == 0xEF) {
            out_.sharingProtocol = true;
            out_.skipBytes = entry[6];
        } else if (Is(entry, 'C', 'E') && length >= 28) {
            continuation = {bytes::GetLe32(entry + 4), {bytes::GetLe32(entry + 12), bytes::GetLe32(entry + 20)}};
        } else if (Is(entry, 'N', 'M') && length >= 5) {
            Name(entry, length);
        } else if (Is(entry, 'P', 'X') && length >= 12) {
            out_.hasMode = true;
            out_.mode = bytes::GetLe32(entry + 4);
        } else if (Is(entry, 'T', 'F') && length >= 5) {
            Times(entry, length);
        } else if (Is(entry, 'S', 'L') && length >= 5) {
            Link(entry, length);
        } else if (Is(entry, 'C', 'L') && length >= 12) {
            out_.childLink = bytes::GetLe32(entry + 4);
        } else if (Is(entry, 'P', 'L') && length >= 12) {
            out_.parentLink = bytes::GetLe32(entry + 4);
        } else if (Is(entry, 'R', 'E')) {
            out_.relocated = true;
        } else if (Is(entry, 'Z', 'F') && length >= 16 && entry[4] == 'p' && entry[5] == 'z') {
            out_.zisofs = true;
            out_.zisofsHeaderSize = entry[6];
            out_.zisofsBlockLog2 = entry[7];
            out_.zisofsSize = bytes::GetLe32(entry + 8);
        }
    }

    // Names of "." and "..", and pieces after a finished name, are not
    // part of the file's name.
    void Name(const std::uint8_t* entry, std::size_t length) {
        const std::uint8_t flags = entry[4];
        if (flags & (kNameCurrent | kNameParent)) return;
        if (out_.name && !nameOpen) return;
        if (!out_.name) out_.name.emplace();
        AppendLimited(*out_.name, entry + 5, length - 5, kMaxRockRidgeNameBytes);
        nameOpen = (flags & kNameContinue) != 0;
    }

    void Times(const std::uint8_t* entry, std::size_t length) {
        const std::uint8_t flags = entry[4];
        if (!(flags & kTimeModify)) return;
        const std::size_t stamp = (flags & kTimeLongForm) ? 17 : 7;
        const std::size_t at = 5 + ((flags & kTimeCreation) ? stamp : 0);
        if (at + stamp > length) return;
        out_.modified = (flags & kTimeLongForm) ? ItemDateFromLongForm(entry + at) : scan::ItemDateFromIso(entry + at);
        out_.hasModified = out_.modified.year != 0;
    }

    // Components are joined by '/' unless the one before said it goes on;
    // a root component starts the target with '/'.
    void Link(const std::uint8_t* entry, std::size_t length) {
        if (out_.symlink && !linkOpen) return;  // a second, unrelated link entry
        out_.symlink = true;
        std::string& target = out_.linkTarget;
        std::size_t at = 5;
        while (at + 2 <= length) {
            const std::uint8_t flags = entry[at];
            const std::size_t size = entry[at + 1];
            if (at + 2 + size > length) break;
            if (!target.empty() && !componentOpen && target.back() != '/') target += '/';
            if (flags & kComponentRoot) {
                if (target.empty() || target.back() != '/') target += '/';
            } else if (flags & kComponentParent) {
                target += "..";
            } else if (flags & kComponentCurrent) {
                target += ".";
            } else {
                AppendLimited(target, entry + at + 2, size, kMaxLinkTargetBytes);
            }
            if (target.size() > kMaxLinkTargetBytes) target.resize(kMaxLinkTargetBytes);
            componentOpen = (flags & kComponentContinue) != 0;
            at += 2 + size;
        }
        linkOpen = (entry[4] & kNameContinue) != 0;
    }

    RockRidgeEntries& out_;
};

}  // namespace

void SystemUseArea(const std::uint8_t* record, std::size_t recordLength, std::size_t skipBytes,
                   const std::uint8_t*& area, std::size_t& length) {
    area = record;
    length = 0;
    // A record too short to hold its identifier length has no System Use area.
    if (recordLength <= kDrIdLength) return;
    const std::size_t idLength = record[kDrIdLength];
    const std::size_t begin = kDrId + idLength + ((idLength % 2 == 0) ? 1 : 0) + skipBytes;
    if (begin >= recordLength) return;
    area = record + begin;
    length = recordLength - begin;
}

RockRidgeEntries ParseSystemUse(const std::uint8_t* area, std::size_t length, const ContinuationBlockReader& readBlock) {
    RockRidgeEntries out;
    Walker walker(out);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> visited;  // block, offset
    bool going = walker.Area(area, length);
    while (going && walker.continuation && readBlock && out.continuationAreas < kMaxContinuationAreas) {
        const auto [block, place] = *walker.continuation;
        const auto [offset, size] = place;
        walker.continuation.reset();
        if (offset >= static_cast<std::uint32_t>(kBlockBytes) || size == 0) break;
        bool seen = false;
        for (const auto& [b, o] : visited) seen = seen || (b == block && o == offset);
        if (seen) break;
        visited.emplace_back(block, offset);
        const std::uint8_t* data = nullptr;
        if (!readBlock(block, data) || !data) break;
        ++out.continuationAreas;
        // An area does not run past its block.
        const std::size_t usable = std::min<std::size_t>(size, kBlockBytes - offset);
        going = walker.Area(data + offset, usable);
    }
    return out;
}

scan::ItemDate ItemDateFromLongForm(const std::uint8_t* recorded) {
    const auto number = [&](int at, int digits) {
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            const std::uint8_t c = recorded[at + i];
            if (c < '0' || c > '9') return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const int year = number(0, 4);
    if (year < 1901 || year > 2155) return {};
    scan::ItemDate date{};
    const int fields[5] = {number(4, 2), number(6, 2), number(8, 2), number(10, 2), number(12, 2)};
    for (int field : fields)
        if (field < 0) return {};
    date.year = static_cast<std::uint8_t>(year - 1900);
    date.month = static_cast<std::uint8_t>(fields[0]);
    date.day = static_cast<std::uint8_t>(fields[1]);
    date.hour = static_cast<std::uint8_t>(fields[2]);
    date.minute = static_cast<std::uint8_t>(fields[3]);
    date.second = static_cast<std::uint8_t>(fields[4]);
    date.zone = static_cast<std::int8_t>(recorded[16]);
    return date;
}

}  // namespace dravik::readers::iso
