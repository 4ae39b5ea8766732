// Names from a disc made into file names: what a stranger's disc may hold
// must come out as one harmless path component.
#include <gtest/gtest.h>

#include <string>

#include "program/extract/safe_names.h"

namespace dravik::extract {
namespace {

struct NameCase {
    std::string disc;
    std::string safe;
    bool rewritten;
};

TEST(SafeNamesTest, HostileAndOrdinaryNames) {
    const NameCase cases[] = {
        {"README.TXT;1", "README.TXT", false},
        {"README.;1", "README", false},
        {"NOVERSION", "NOVERSION", false},
        {"A;B", "A;B", false},
        {"..", "_..", true},
        {".", "_.", true},
        {"", "_", true},
        {"..;1", "_.", true},  // the version goes first, then the dot rule
        {"etc/passwd", "etc_passwd", true},
        {"../../x", ".._.._x", true},
        {"/", "_", true},
        {std::string("a\x01" "b\x1f" "c\x7f", 6), "a_b_c_", true},
        {std::string("nul\0x", 5), "nul_x", true},
        {"Müller.txt", "Müller.txt", false},
    };
    for (const NameCase& c : cases) {
        const SafeName safe = MakeSafeName(c.disc);
        EXPECT_EQ(safe.name, c.safe) << c.disc;
        EXPECT_EQ(safe.rewritten, c.rewritten) << c.disc;
    }
}

TEST(SafeNamesTest, LongNamesAreCutOnACharacterAndKeepTheirExtension) {
    // 150 two-byte characters: 300 bytes, with an extension.
    std::string name;
    for (int i = 0; i < 150; ++i) name += "é";
    const SafeName safe = MakeSafeName(name + ".jpeg");
    EXPECT_TRUE(safe.rewritten);
    EXPECT_LE(safe.name.size(), kMaxSafeNameBytes);
    EXPECT_EQ(safe.name.substr(safe.name.size() - 5), ".jpeg");
    // No character was cut in two: the stem is whole "é"s.
    const std::string stem = safe.name.substr(0, safe.name.size() - 5);
    EXPECT_EQ(stem.size() % 2, 0u);
    EXPECT_EQ(stem.find_first_not_of("\xC3\xA9"), std::string::npos);

    // A long "extension" is not kept whole.
    const SafeName dotted = MakeSafeName("x." + std::string(300, 'e'));
    EXPECT_EQ(dotted.name.size(), kMaxSafeNameBytes);
}

TEST(SafeNamesTest, ClaimedNamesGetNumbersBeforeTheirExtension) {
    FolderNames names;
    bool renamed = true;
    EXPECT_EQ(names.Claim("a.txt", renamed), "a.txt");
    EXPECT_FALSE(renamed);
    EXPECT_EQ(names.Claim("a.txt", renamed), "a~2.txt");
    EXPECT_TRUE(renamed);
    EXPECT_EQ(names.Claim("a.txt", renamed), "a~3.txt");
    EXPECT_EQ(names.Claim("a~2.txt", renamed), "a~2~2.txt");

    // Even at the longest name the number fits.
    const std::string longest(kMaxSafeNameBytes, 'n');
    EXPECT_EQ(names.Claim(longest, renamed), longest);
    const std::string second = names.Claim(longest, renamed);
    EXPECT_TRUE(renamed);
    EXPECT_LE(second.size(), kMaxSafeNameBytes);
    EXPECT_EQ(second.substr(second.size() - 2), "~2");
    const std::string dotted = "x." + std::string(kMaxSafeNameBytes - 2, 'e');
    names.Claim(dotted, renamed);
    EXPECT_LE(names.Claim(dotted, renamed).size(), kMaxSafeNameBytes);
}

}  // namespace
}  // namespace dravik::extract
