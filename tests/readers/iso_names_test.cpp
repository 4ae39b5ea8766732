// Names from ISO 9660, Joliet and Rock Ridge records as the catalogue keeps
// them (UTF-8), and the System Use walk that finds Rock Ridge names.
#include <gtest/gtest.h>

#include "iso_layout.h"
#include "program/readers/iso9660/iso_names.h"

namespace dravik::test {
namespace {

using namespace readers::iso;

std::string Ucs2Text(const std::string& bytes, bool& failed) {
    return Ucs2BeToUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), failed);
}

TEST(IsoNamesTest, JolietNamesBecomeUtf8WithSurrogatePairsJoinedAndLoneOnesReplaced) {
    bool failed = false;
    EXPECT_EQ(Ucs2Text(std::string("\x00" "A" "\x00\xE9" "\x20\xAC", 6), failed), "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_FALSE(failed);
    EXPECT_EQ(Ucs2Text(std::string("\xD8\x3D\xDE\x00", 4), failed), "\xF0\x9F\x98\x80");
    EXPECT_FALSE(failed);
    EXPECT_EQ(Ucs2Text(std::string("\xD8\x3D\x00" "B" "\x00", 5), failed), "?B");  // odd last byte dropped
    EXPECT_TRUE(failed);
}

TEST(IsoNamesTest, IsoBytesStayWhenTheyAreUtf8AndAreReadAsLatin1Otherwise) {
    const std::string utf8 = "caf\xC3\xA9";
    EXPECT_EQ(IsoBytesToUtf8(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()), utf8);
    const std::string latin1 = "caf\xE9";
    EXPECT_EQ(IsoBytesToUtf8(reinterpret_cast<const std::uint8_t*>(latin1.data()), latin1.size()), utf8);
    const std::string overlong = "\xC0\xAF";
    EXPECT_EQ(IsoBytesToUtf8(reinterpret_cast<const std::uint8_t*>(overlong.data()), 2), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(TrimVolumeIdentifier(std::string("MY DISC   \0garbage", 18)), "MY DISC");
}

TEST(IsoNamesTest, RockRidgeNameIsTheFirstNameEntryOfAWellFormedArea) {
    using namespace iso;
    Bytes use{'P', 'X', 8, 1, 0, 0, 0, 0};
    const Bytes first = NameEntry("first"), second = NameEntry("second");
    use.insert(use.end(), first.begin(), first.end());
    use.insert(use.end(), second.begin(), second.end());
    Bytes record = DirectoryRecord({1, 1, 0, "A.TXT;1", use});
    EXPECT_EQ(RockRidgeName(record.data(), record.size()).value_or("-"), "first");

    // Even-length identifiers are followed by a padding byte.
    record = DirectoryRecord({1, 1, 0, "AB", NameEntry("padded")});
    EXPECT_EQ(RockRidgeName(record.data(), record.size()).value_or("-"), "padded");

    // A name entry whose length runs past the record is not read.
    record = DirectoryRecord({1, 1, 0, "A.TXT;1", NameEntry("cut")});
    EXPECT_FALSE(RockRidgeName(record.data(), record.size() - 1).has_value());
    // A first entry of another version ends the walk; so does length 0.
    record = DirectoryRecord({1, 1, 0, "A.TXT;1", NameEntry("v2", 2)});
    EXPECT_FALSE(RockRidgeName(record.data(), record.size()).has_value());
    Bytes zero{'Z', 'Z', 0, 1};
    zero.insert(zero.end(), first.begin(), first.end());
    record = DirectoryRecord({1, 1, 0, "A.TXT;1", zero});
    EXPECT_FALSE(RockRidgeName(record.data(), record.size()).has_value());
    // An empty name (as on "." and "..") does not replace the identifier.
    record = DirectoryRecord({1, 1, 0, "A.TXT;1", NameEntry("")});
    EXPECT_FALSE(RockRidgeName(record.data(), record.size()).has_value());
}

}  // namespace
}  // namespace dravik::test
