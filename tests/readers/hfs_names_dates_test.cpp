// Mac Roman names and HFS dates, case by case.
#include <gtest/gtest.h>

#include "program/readers/hfs/hfs_volume.h"
#include "program/readers/hfs/mac_roman.h"
#include "program/scan/item_date.h"

namespace dravik::readers::hfs {
namespace {

TEST(HfsNamesTest, MacRomanBecomesUtf8) {
    struct Case {
        std::string macRoman;
        std::string utf8;
    };
    const Case cases[] = {
        {"Read Me", "Read Me"},
        {"Caf\x8e", "Caf\xc3\xa9"},                 // e acute
        {"\x80\x9f", "\xc3\x84\xc3\xbc"},           // A diaeresis, u diaeresis
        {"\xa5 bullet", "\xe2\x80\xa2 bullet"},      // three UTF-8 bytes
        {"\xf0", "\xef\xa3\xbf"},                    // the Apple logo, private use
        {"\xdb", "\xe2\x82\xac"},                    // euro sign
        {"a/b", "a/b"},                             // kept; made safe only on disk
    };
    for (const Case& c : cases)
        EXPECT_EQ(MacRomanToUtf8(reinterpret_cast<const std::uint8_t*>(c.macRoman.data()), c.macRoman.size()), c.utf8)
            << c.macRoman;
}

TEST(HfsDatesTest, SecondsSince1904AreShownAsRecorded) {
    struct Case {
        std::uint32_t seconds;
        scan::ItemDate date;
    };
    const Case cases[] = {
        {0, {}},                                        // never set
        {2082844800u, {70, 1, 1, 0, 0, 0, 0}},          // 1970-01-01 00:00:00
        {3703798789u, {121, 5, 14, 0, 59, 49, 0}},      // 2021-05-14 00:59:49
        {0xFFFFFFFFu, {140, 2, 6, 6, 28, 15, 0}},       // the last HFS second, 2040
    };
    for (const Case& c : cases) {
        const scan::ItemDate date = HfsDate(c.seconds);
        EXPECT_EQ(std::vector<int>({date.year, date.month, date.day, date.hour, date.minute, date.second, date.zone}),
                  std::vector<int>({c.date.year, c.date.month, c.date.day, c.date.hour, c.date.minute, c.date.second,
                                    c.date.zone}))
            << c.seconds;
    }
}

}  // namespace
}  // namespace dravik::readers::hfs
