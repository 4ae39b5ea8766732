// Flag names and dates as the scan report shows them.
#include <charconv>
#include <cstdio>

#include "program/readers/hfs/mac_roman.h"
#include "program/scan/found_item.h"
#include "program/scan/item_date.h"
#include "program/scan/track_list.h"
#include "program/app/scan_report.h"

namespace dravik::app {

namespace {

template <typename Bits>
struct FlagName {
    Bits bit;
    const char* name;
};

constexpr FlagName<std::uint32_t> kTrackFlags[] = {
    {scan::TrackJoliet, "joliet"},
    {scan::TrackIso, "iso"},
    {scan::TrackHighSierra, "highsierra"},
    {scan::TrackCdiBridge, "cdibridge"},
    {scan::TrackHfs, "hfs"},
    {scan::TrackUdf, "udf"},
    {scan::TrackPacket, "packet"},
    {scan::TrackSparing, "sparing"},
    {scan::TrackUdfFound, "udffound"},
    {scan::TrackVatReread, "vatreread"},
    {scan::TrackDirRegrown, "dirregrown"},
    {scan::TrackChecksumRecycled, "checksumrecycled"},
    {scan::TrackNoSparingTable, "nosparingtable"},
    {scan::TrackBlank, "blank"},
    {scan::TrackCompressed, "compressed"},
    {scan::TrackDirectCdCompressed, "directcdcompressed"},
    {scan::TrackContinued, "continued"},
    {scan::TrackSecondFs, "secondfs"},
    {scan::TrackAdded, "added"},
    {scan::TrackPartitionOverlap, "partitionoverlap"},
    {scan::TrackPregap, "pregap"},
    {scan::TrackRockRidge, "rockridge"},
    {scan::TrackFilesMissing, "filesmissing"},
    {scan::TrackAppendable, "appendable"},
    {scan::TrackErasable, "erasable"},
    {scan::TrackStoppedEarly, "stoppedearly"},
};

constexpr FlagName<std::uint16_t> kItemFlags[] = {
    {scan::ItemDirectory, "directory"}, {scan::ItemSelfLink, "selflink"}, {scan::ItemUnnamed, "unnamed"},
    {scan::ItemMissing, "missing"},     {scan::ItemFragmented, "fragmented"}, {scan::ItemDeleted, "deleted"},
    {scan::ItemOverlap, "overlap"},     {scan::ItemBroken, "broken"},       {scan::ItemIncomplete, "incomplete"},
};

template <typename Bits, std::size_t N>
std::vector<std::string> Names(Bits flags, const FlagName<Bits> (&table)[N]) {
    std::vector<std::string> names;
    for (const auto& entry : table)
        if (flags & entry.bit) names.emplace_back(entry.name);
    return names;
}

}  // namespace

std::vector<std::string> TrackFlagNames(std::uint32_t flags) { return Names(flags, kTrackFlags); }

bool AppendItemFlagNames(std::string& out, std::uint16_t flags, bool quoted) {
    bool any = false;
    for (const auto& entry : kItemFlags) {
        if (!(flags & entry.bit)) continue;
        if (any) out += ',';
        if (quoted) out += '"';
        out += entry.name;
        if (quoted) out += '"';
        any = true;
    }
    return any;
}

std::string MacCodeText(const std::array<std::uint8_t, 4>& code) {
    return readers::hfs::MacRomanToUtf8(code.data(), code.size());
}

void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

namespace {

// `value` in decimal, with leading zeros to at least `width` digits (the
// reports are written for every item, so this avoids printf's cost).
void AppendPadded(std::string& text, unsigned value, int width) {
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < width; ++pad) text += '0';
    while (count > 0) text += digits[--count];
}

}  // namespace

std::string IsoDateText(const scan::ItemDate& date) {
    std::string text;
    AppendIsoDate(text, date);
    return text;
}

bool AppendIsoDate(std::string& text, const scan::ItemDate& date) {
    if (date.year == 0) return false;
    AppendPadded(text, 1900u + date.year, 4);
    text += '-';
    AppendPadded(text, date.month, 2);
    text += '-';
    AppendPadded(text, date.day, 2);
    text += 'T';
    AppendPadded(text, date.hour, 2);
    text += ':';
    AppendPadded(text, date.minute, 2);
    text += ':';
    AppendPadded(text, date.second, 2);
    if (date.zone != 0) {
        const int minutes = date.zone * 15;
        const unsigned magnitude = static_cast<unsigned>(minutes < 0 ? -minutes : minutes);
        text += minutes < 0 ? '-' : '+';
        AppendPadded(text, magnitude / 60, 2);
        text += ':';
        AppendPadded(text, magnitude % 60, 2);
    }
    return true;
}

}  // namespace dravik::app
