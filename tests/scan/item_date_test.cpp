#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

#include "program/scan/item_date.h"

namespace dravik::test {
namespace {

using scan::ItemDate;
using scan::ItemDateText;

ItemDate Date(int yearsSince1900, int month, int day, int hour, int minute, int second, int zone = 0) {
    return ItemDate{static_cast<std::uint8_t>(yearsSince1900), static_cast<std::uint8_t>(month),
                    static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(hour), static_cast<std::uint8_t>(minute),
                    static_cast<std::uint8_t>(second), static_cast<std::int8_t>(zone)};
}

TEST(ItemDateText, YearByteZeroMeansNoDateWhateverTheOtherBytes) {
    EXPECT_EQ(ItemDateText(Date(0, 0, 0, 0, 0, 0)), "-- N/A --");
    // 1900 itself cannot be recorded: its year byte is the no-date mark.
    EXPECT_EQ(ItemDateText(Date(0, 6, 15, 12, 30, 0), "%m/%d/%Y"), "-- N/A --");
}

TEST(ItemDateText, TimeDropsOneBlankForTwoDigitHours) {
    struct Row {
        ItemDate date;
        const char* text;
    } rows[] = {
        {Date(1, 1, 1, 0, 0, 0), "01/01/1901  0:00:00"},
        {Date(104, 7, 4, 9, 5, 3), "07/04/2004  9:05:03"},
        {Date(104, 7, 4, 10, 5, 3), "07/04/2004 10:05:03"},
        {Date(199, 12, 31, 23, 59, 59), "12/31/2099 23:59:59"},
        {Date(255, 12, 31, 23, 59, 59), "12/31/2155 23:59:59"},
    };
    for (const Row& row : rows) EXPECT_EQ(ItemDateText(row.date, "%m/%d/%Y"), row.text);
}

TEST(ItemDateText, LocalePatternsAreFilledFromTheDateWithFourDigitYears) {
    ItemDate date = Date(99, 3, 7, 8, 0, 1);
    EXPECT_EQ(ItemDateText(date, "%m/%d/%y"), "03/07/1999  8:00:01") << "the C locale's pattern";
    EXPECT_EQ(ItemDateText(date, "%d.%m.%Y"), "07.03.1999  8:00:01");
    EXPECT_EQ(ItemDateText(date, "%e/%m/%Ey"), " 7/03/1999  8:00:01");
    EXPECT_EQ(ItemDateText(date, "%F"), "1999-03-07  8:00:01");
    EXPECT_EQ(ItemDateText(date, "%D"), "03/07/1999  8:00:01");
    EXPECT_EQ(ItemDateText(date, "%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5"),
              "1999\xE5\xB9\xB4" "03\xE6\x9C\x88" "07\xE6\x97\xA5  8:00:01");
    // Conversions the date alone cannot fill fall back to a numeric date.
    EXPECT_EQ(ItemDateText(date, "%a %d %b %Y"), "1999-03-07  8:00:01");
    EXPECT_EQ(ItemDateText(date, "%d/%m/%"), "1999-03-07  8:00:01");
}

TEST(ItemDateText, MonthNamesComeFromTheLocaleOnlyForRealMonths) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(ItemDateText(Date(104, 2, 29, 0, 0, 0), "%d %b %Y"), "29 Feb 2004  0:00:00");
    EXPECT_EQ(ItemDateText(Date(104, 11, 1, 0, 0, 0), "%B %e, %Y"), "November  1, 2004  0:00:00");
    // Bytes out of range are shown as recorded, never looked up.
    EXPECT_EQ(ItemDateText(Date(104, 13, 0, 0, 0, 0), "%d %b %Y"), "00 13 2004  0:00:00");
    EXPECT_EQ(ItemDateText(Date(104, 255, 255, 255, 255, 255), "%m/%d/%Y"), "255/255/2004 255:255:255");
}

TEST(ItemDateText, TheCurrentLocalesPatternIsUsed) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(ItemDateText(Date(120, 2, 3, 4, 5, 6)), "02/03/2020  4:05:06");
}

TEST(ItemDateText, TheZoneByteDoesNotMoveTheRecordedTime) {
    // ISO records local time and its offset; the views show the local time.
    EXPECT_EQ(ItemDateText(Date(104, 1, 1, 23, 30, 0, -20), "%F"), "2004-01-01 23:30:00");
    EXPECT_EQ(ItemDateText(Date(104, 1, 1, 23, 30, 0, 52), "%F"), "2004-01-01 23:30:00");
}

TEST(ItemDateFrom, IsoBytesAreTakenAsTheyStand) {
    const std::uint8_t recorded[7] = {104, 12, 24, 18, 45, 12, 0xEC};
    ItemDate date = scan::ItemDateFromIso(recorded);
    EXPECT_EQ(date.year, 104);
    EXPECT_EQ(date.month, 12);
    EXPECT_EQ(date.day, 24);
    EXPECT_EQ(date.hour, 18);
    EXPECT_EQ(date.minute, 45);
    EXPECT_EQ(date.second, 12);
    EXPECT_EQ(date.zone, -20);
    EXPECT_EQ(scan::ItemDateFromIso(nullptr).year, 0);
}

TEST(ItemDateFrom, CalendarYearsOutsideTheByteGiveNoDate) {
    EXPECT_EQ(scan::ItemDateFromFields(1900, 1, 1, 0, 0, 0).year, 0);
    EXPECT_EQ(scan::ItemDateFromFields(1901, 1, 1, 0, 0, 0).year, 1);
    EXPECT_EQ(scan::ItemDateFromFields(2099, 5, 6, 7, 8, 9).year, 199);
    EXPECT_EQ(scan::ItemDateFromFields(2155, 1, 1, 0, 0, 0).year, 255);
    EXPECT_EQ(scan::ItemDateFromFields(2156, 1, 1, 0, 0, 0).year, 0);
    EXPECT_EQ(scan::ItemDateFromFields(-3, 1, 1, 0, 0, 0).year, 0);
    ItemDate date = scan::ItemDateFromFields(2004, 2, 29, 13, 14, 15);
    EXPECT_EQ(ItemDateText(date, "%F"), "2004-02-29 13:14:15");
}

}  // namespace
}  // namespace dravik::test
