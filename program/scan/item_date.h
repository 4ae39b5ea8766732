// The date of a found item as the file systems record it, and its text for
// the views.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::scan {

// Seven bytes, compared byte by byte when the list sorts by date.
struct ItemDate {
    std::uint8_t year;    // years since 1900; 0 means the item has no date
    std::uint8_t month;   // 1-12
    std::uint8_t day;
    std::uint8_t hour;
    std::uint8_t minute;
    std::uint8_t second;
    std::int8_t zone;     // ISO: recorded offset from Greenwich in 15-minute units; UDF, HFS: 0
};
static_assert(sizeof(ItemDate) == 7);

constexpr char kNoDateText[] = "-- N/A --";

// The 7 date bytes of an ISO 9660 or Joliet directory record (High Sierra:
// its 6 date bytes and the flags byte), taken as they stand.
ItemDate ItemDateFromIso(const std::uint8_t* recorded);
// A date from calendar fields (UDF): the year must lie in 1901-2155 to be
// kept, anything else gives an item without a date.
ItemDate ItemDateFromFields(int year, int month, int day, int hour, int minute, int second);

// "-- N/A --" without a date; otherwise the date in the short date format
// of the current locale (LC_TIME) followed by "  %d:%02d:%02d", with one of
// the two blanks dropped when the hour has two digits. The time is shown as
// recorded, in the writer's local time; the zone byte does not move it.
std::string ItemDateText(const ItemDate& date);
// The same with an explicit strftime-style date pattern.
std::string ItemDateText(const ItemDate& date, std::string_view datePattern);

// The time part alone: "  9:05:03", " 10:05:03".
std::string ItemTimeText(const ItemDate& date);

}  // namespace dravik::scan
