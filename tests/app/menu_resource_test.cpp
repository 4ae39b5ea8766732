// The menu and accelerator formats of the language module: what the
// shipped module holds, and how text from a stranger's module is refused.
#include <gtest/gtest.h>

#include "program/app/menu_resource.h"

namespace dravik::app {
namespace {

TEST(MenuResource, NestedSubmenusRadioEntriesAndSeparators) {
    std::vector<MenuEntry> menu;
    std::string error;
    ASSERT_TRUE(ParseMenu("# comment\n"
                          "popup &File\n"
                          "  item 40018 &Select Drive...\n"
                          "  separator\n"
                          "  popup More\n"
                          "    radio 40001 Large  icons\n"
                          "  end\n"
                          "  item 51682 E&xit\r\n"
                          "end\n"
                          "popup &Help\n  item 901 &Contents\nend",
                          menu, error))
        << error;
    ASSERT_EQ(menu.size(), 2u);
    const MenuEntry& file = menu[0];
    EXPECT_EQ(file.text, "&File");
    ASSERT_EQ(file.children.size(), 4u);
    EXPECT_EQ(file.children[1].kind, MenuEntry::Kind::Separator);
    EXPECT_EQ(file.children[2].kind, MenuEntry::Kind::Popup);
    EXPECT_EQ(file.children[2].children[0].kind, MenuEntry::Kind::Radio);
    EXPECT_EQ(file.children[2].children[0].text, "Large  icons");  // inner blanks kept
    EXPECT_EQ(file.children[3].text, "E&xit");                      // CR dropped
    EXPECT_EQ(MenuCommandIds(menu), (std::vector<int>{40018, 40001, 51682, 901}));
}

TEST(MenuResource, MalformedMenusNameTheLineAtFault) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"popup A\nitem 0 Zero\nend", "line 2: \"0\" is not a command id (1-65535)"},
        {"popup A\nitem 65536 Big\nend", "line 2: \"65536\" is not a command id (1-65535)"},
        {"popup A\nitem 12x Bad\nend", "line 2: \"12x\" is not a command id (1-65535)"},
        {"popup A\nitem 5\nend", "line 2: command 5 has no text"},
        {"item 5 Loose", "line 1: a command outside any submenu"},
        {"end", "line 1: \"end\" without a submenu"},
        {"popup A\n", "a submenu is not closed with \"end\""},
        {"popup\nend", "line 1: a submenu without a title"},
        {"popup A\nfrobnicate\nend", "line 2: unknown entry \"frobnicate\""},
        {"popup A\nseparator x\nend", "line 2: text after \"separator\""},
        {"popup 1\npopup 2\npopup 3\npopup 4\npopup 5\n", "line 5: submenus nested deeper than 4"},
    };
    for (const Case& c : cases) {
        std::vector<MenuEntry> menu{MenuEntry{}};
        std::string error;
        EXPECT_FALSE(ParseMenu(c.text, menu, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(menu.size(), 1u) << "a failed parse leaves the result alone";
    }
}

TEST(MenuResource, LimitsOnSizeLinesAndEntries) {
    std::vector<MenuEntry> menu;
    std::string error;
    EXPECT_FALSE(ParseMenu(std::string(kMaxResourceText + 1, '#'), menu, error));
    EXPECT_FALSE(ParseMenu("popup " + std::string(kMaxResourceLine, 'x') + "\nend", menu, error));
    EXPECT_EQ(error, "line 1: longer than 400 bytes");
    std::string many = "popup A\n";
    for (std::size_t i = 0; i < kMaxMenuEntries; ++i) many += "separator\n";
    EXPECT_FALSE(ParseMenu(many + "end", menu, error));
    EXPECT_NE(error.find("more than 300 entries"), std::string::npos);
}

TEST(AcceleratorResource, KeysAndIdsWithDuplicatesRefused) {
    std::vector<Accelerator> table;
    std::string error;
    ASSERT_TRUE(ParseAccelerators("# keys\nF5 40015\n  Ctrl+D\t40018  \n", table, error)) << error;
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1].key, "Ctrl+D");
    EXPECT_EQ(table[1].id, 40018);
    EXPECT_FALSE(ParseAccelerators("F5 40015\nF5 40019\n", table, error));
    EXPECT_EQ(error, "line 2: the key F5 is given twice");
    EXPECT_FALSE(ParseAccelerators("F5\n", table, error));
    EXPECT_FALSE(ParseAccelerators("F5 1 2\n", table, error));
    EXPECT_FALSE(ParseAccelerators("F5 -3\n", table, error));
    EXPECT_EQ(table.size(), 2u);
}

TEST(MenuResource, SurvivesArbitraryBytes) {
    std::string bytes;
    unsigned seed = 12345;
    for (int round = 0; round < 300; ++round) {
        bytes.clear();
        for (int i = 0; i < 600; ++i) {
            seed = seed * 1103515245 + 12345;
            const char alphabet[] = "popup item radio end separator 40018 \n\r\t#&\xff";
            bytes += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        std::vector<MenuEntry> menu;
        std::vector<Accelerator> table;
        std::string error;
        ParseMenu(bytes, menu, error);
        ParseAccelerators(bytes, table, error);
    }
    SUCCEED();
}

}  // namespace
}  // namespace dravik::app
