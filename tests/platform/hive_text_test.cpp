// The hive text form: everything written reads back the same, hand-written
// variations are accepted, and anything else is refused rather than
// half-read.
#include <gtest/gtest.h>

#include "platform/hive_text.h"
#include "platform/utf8_text.h"

using namespace dravik::platform;

namespace {

bool SameTree(const HiveKey& a, const HiveKey& b, std::string& where) {
    if (a.name != b.name || a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size()) {
        where = "key " + a.name;
        return false;
    }
    for (size_t i = 0; i < a.values.size(); ++i) {
        const HiveValue& x = a.values[i];
        const HiveValue& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) {
            where = "value " + x.name + " of key " + a.name;
            return false;
        }
    }
    for (size_t i = 0; i < a.subkeys.size(); ++i)
        if (!SameTree(a.subkeys[i], b.subkeys[i], where)) return false;
    return true;
}

}  // namespace

TEST(HiveText, EveryTypeAndAwkwardTextRoundTrips) {
    HiveKey root;
    HiveKey& app = root.SubkeyCreated("Software").SubkeyCreated("Quenby").SubkeyCreated("Dravik");
    app.SetValue("Plain", REG_SZ, "C:/some where/");
    app.SetValue("Quotes \"and\" \\slashes\\", REG_SZ, "say \"hi\" \\ there\\");
    app.SetValue("Lines", REG_SZ, "one\ntwo\r\nthree\tfour");
    app.SetValue("Controls", REG_SZ, std::string("a\x01\x1f\x7f", 4) + std::string(1, '\0') + "z");
    app.SetValue("Not UTF-8", REG_SZ, "\xff\xfe caf\xc3\xa9 \xc3");
    app.SetValue("Unicode \xe2\x82\xac", REG_SZ, "\xf0\x9f\x92\xbf disc");
    app.SetValue("Empty", REG_SZ, "");
    app.SetValue("Expand", REG_EXPAND_SZ, "%HOME%/help");
    app.SetValue("Zero", REG_DWORD, DwordData(0));
    app.SetValue("Max", REG_DWORD, DwordData(0xFFFFFFFFu));
    std::string blob;
    for (int i = 0; i < 300; ++i) blob += static_cast<char>(i * 7);
    app.SetValue("Blob", REG_BINARY, blob);
    app.SetValue("NoBytes", REG_BINARY, "");
    app.SetValue("Odd DWORD", REG_DWORD, "\x01\x02");
    app.SetValue("Other", 7, std::string("A\0B\0\0", 5));
    app.SetValue("", REG_SZ, "default value");
    app.SubkeyCreated("Empty Sub");
    app.SubkeyCreated("Deep").SubkeyCreated("Deeper").SetValue("x", REG_DWORD, DwordData(5));
    root.SubkeyCreated("AppEvents");

    std::string text = FormatHiveText(root, "test hive");
    EXPECT_TRUE(dravik::text::IsValidUtf8(text));
    EXPECT_EQ(text.find('\0'), std::string::npos);
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "text ends with a newline";
        EXPECT_LE(end - start, 80u) << "line: " << text.substr(start, end - start);
    }

    HiveKey back;
    std::string error, where;
    ASSERT_TRUE(ParseHiveText(text, back, error)) << error << "\n" << text;
    EXPECT_TRUE(SameTree(root, back, where)) << where << "\n" << text;
    EXPECT_EQ(FormatHiveText(back, "test hive"), text) << "formatting is stable";
}

TEST(HiveText, AcceptsHandWrittenVariations) {
    const char* text =
        "\xEF\xBB\xBF; written by hand\r\n"
        "# another comment\n"
        "\n"
        "[software\\QUENBY\\Dravik]\r\n"
        "  \"Flag\" = dword:1\n"
        "\"Bytes\"=hex: 0a, ff ,\\\n"
        "    1 \n"
        "@=expand:\"x\"\n"
        "\"Tab\there\"=\"one\ttwo\t\"\n"
        "[Software\\Quenby\\Dravik\\Sub]\n"
        "\"Flag\"=dword:2\n"
        "\"flag\"=dword:3\n";
    HiveKey root;
    std::string error;
    ASSERT_TRUE(ParseHiveText(text, root, error)) << error;
    ASSERT_EQ(root.subkeys.size(), 1u);
    const HiveKey* app = root.FindSubkey("SOFTWARE")->FindSubkey("quenby")->FindSubkey("dravik");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(root.subkeys[0].name, "software") << "the first spelling is kept";
    uint32_t number = 0;
    ASSERT_NE(app->FindValue("flag"), nullptr);
    EXPECT_TRUE(DwordFromData(app->FindValue("flag")->data, number));
    EXPECT_EQ(number, 1u);
    EXPECT_EQ(app->FindValue("Bytes")->data, std::string("\x0a\xff\x01", 3));
    EXPECT_EQ(app->FindValue("")->type, REG_EXPAND_SZ);
    ASSERT_NE(app->FindValue("Tab\there"), nullptr) << "a literal tab inside quotes is itself";
    EXPECT_EQ(app->FindValue("Tab\there")->data, "one\ttwo\t");
    const HiveKey* sub = app->FindSubkey("sub");
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(sub->values.size(), 1u) << "a repeated name replaces the value";
    EXPECT_TRUE(DwordFromData(sub->values[0].data, number));
    EXPECT_EQ(number, 3u);
}

TEST(HiveText, RefusesWhatItCannotReadWhole) {
    struct Row {
        const char* why;
        std::string text;
    } rows[] = {
        {"NUL byte", std::string("[A]\n\"x\"=\"a\0b\"\n", 15)},
        {"invalid UTF-8", "[A]\n\"x\"=\"caf\xe9\"\n"},
        {"overlong UTF-8", "[A]\n\"x\"=\"\xc0\xaf\"\n"},
        {"value before any key", "\"x\"=dword:1\n"},
        {"unknown escape", "[A]\n\"x\"=\"a\\qb\"\n"},
        {"short \\x escape", "[A]\n\"x\"=\"a\\x4\"\n"},
        {"unterminated text", "[A]\n\"x\"=\"abc\n"},
        {"text after the value", "[A]\n\"x\"=\"abc\" junk\n"},
        {"dword too long", "[A]\n\"x\"=dword:123456789\n"},
        {"dword not hex", "[A]\n\"x\"=dword:12g4\n"},
        {"hex byte too long", "[A]\n\"x\"=hex:123\n"},
        {"missing comma", "[A]\n\"x\"=hex:12 34\n"},
        {"unknown form", "[A]\n\"x\"=qword:1\n"},
        {"missing '='", "[A]\n\"x\" dword:1\n"},
        {"unclosed key", "[A\\B\n"},
        {"empty key", "[]\n"},
        {"key name too long", "[" + std::string(256, 'k') + "]\n"},
        {"control character in a key", "[A\x01]\n"},
        {"stray text", "[A]\nhello\n"},
        {"lone continuation", "[A]\n\\\n"},
        {"bad hex type", "[A]\n\"x\"=hex(zz):00\n"},
    };
    for (const Row& row : rows) {
        HiveKey root;
        std::string error;
        EXPECT_FALSE(ParseHiveText(row.text, root, error)) << row.why;
        EXPECT_FALSE(error.empty()) << row.why;
        EXPECT_TRUE(root.subkeys.empty()) << row.why << ": nothing half-read is kept";
    }
}

TEST(HiveText, KeyPathsSplitAndNamesCompareWithoutCase) {
    std::vector<std::string> parts;
    EXPECT_TRUE(SplitKeyPath("\\Software\\\\Quenby\\", parts));
    EXPECT_EQ(parts, (std::vector<std::string>{"Software", "Quenby"}));
    EXPECT_TRUE(SplitKeyPath("", parts));
    EXPECT_TRUE(parts.empty());
    EXPECT_FALSE(SplitKeyPath(std::string(256, 'a'), parts));
    EXPECT_FALSE(SplitKeyPath("A\\B\nC", parts));
    EXPECT_FALSE(SplitKeyPath("A\\\xff", parts));
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "k\\";
    EXPECT_FALSE(SplitKeyPath(deep, parts));

    EXPECT_TRUE(NamesEqual("UseSPTI", "usespti"));
    EXPECT_FALSE(NamesEqual("UseSPTI", "UseSPT"));
    EXPECT_FALSE(NamesEqual("\xc3\xa9", "\xc3\x89")) << "only ASCII letters fold";
}
