// Flag names and dates as the scan report shows them.
#include <cstdio>

#include "program/scan/found_item.h"
#include "program/scan/item_date.h"
#include "program/scan/track_list.h"
#include "scan_report.h"

namespace dravik::cli {

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
};

constexpr FlagName<std::uint16_t> kItemFlags[] = {
    {scan::ItemDirectory, "directory"}, {scan::ItemSelfLink, "selflink"}, {scan::ItemUnnamed, "unnamed"},
    {scan::ItemMissing, "missing"},     {scan::ItemFragmented, "fragmented"}, {scan::ItemDeleted, "deleted"},
    {scan::ItemOverlap, "overlap"},     {scan::ItemBroken, "broken"},
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
std::vector<std::string> ItemFlagNames(std::uint16_t flags) { return Names(flags, kItemFlags); }

std::string IsoDateText(const scan::ItemDate& date) {
    if (date.year == 0) return {};
    char text[40];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", 1900 + date.year, date.month,
                               date.day, date.hour, date.minute, date.second);
    if (date.zone != 0) {
        const int minutes = date.zone * 15;
        const int magnitude = minutes < 0 ? -minutes : minutes;
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "%c%02d:%02d",
                      minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    }
    return text;
}

}  // namespace dravik::cli
