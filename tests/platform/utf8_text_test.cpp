// Cutting UTF-8 text to a byte limit and checking that bytes are UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "platform/utf8_text.h"

namespace {

using namespace dravik;

TEST(Utf8Text, CutsNeverLeaveHalfACharacter) {
    // "aé€😀": 1, 2, 3 and 4 bytes; character starts at 0, 1, 3, 6 (end 10).
    const std::string mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    struct Row {
        std::string text;
        std::size_t limit;
        std::size_t length;
    } rows[] = {
        {mixed, 100, 10}, {mixed, 10, 10}, {mixed, 9, 6}, {mixed, 7, 6}, {mixed, 6, 6}, {mixed, 5, 3},
        {mixed, 4, 3},    {mixed, 2, 1},   {mixed, 1, 1}, {mixed, 0, 0}, {"plain", 3, 3}, {"", 4, 0},
        // Continuation bytes with no lead byte before them are cut away
        // entirely rather than kept as a fragment.
        {"\x80\x80\x80", 2, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "limit " << row.limit << " of " << row.text.size());
        EXPECT_EQ(text::Utf8CutLength(row.text, row.limit), row.length);
        EXPECT_EQ(text::CutUtf8(row.text, row.limit), row.text.substr(0, row.length));
        std::string cut = row.text;
        text::CutUtf8InPlace(cut, row.limit);
        EXPECT_EQ(cut, row.text.substr(0, row.length));
    }
}

TEST(Utf8Text, ValidityRefusesOverlongsSurrogatesAndValuesPastTheLastCharacter) {
    struct Row {
        const char* name;
        std::string bytes;
        bool valid;
    } rows[] = {
        {"empty", "", true},
        {"ASCII with NUL", std::string("a\0b", 3), true},
        {"two bytes", "\xC3\xA9", true},
        {"U+D7FF before the surrogates", "\xED\x9F\xBF", true},
        {"U+E000 after the surrogates", "\xEE\x80\x80", true},
        {"U+FFFF", "\xEF\xBF\xBF", true},
        {"U+10000", "\xF0\x90\x80\x80", true},
        {"U+10FFFF", "\xF4\x8F\xBF\xBF", true},
        {"overlong two bytes (C0)", "\xC0\x80", false},
        {"overlong two bytes (C1)", "\xC1\xBF", false},
        {"overlong three bytes", "\xE0\x9F\xBF", false},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", false},
        {"high surrogate", "\xED\xA0\x80", false},
        {"low surrogate", "\xED\xBF\xBF", false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false},
        {"lead byte F5", "\xF5\x80\x80\x80", false},
        {"lead byte FF", "\xFF", false},
        {"stray continuation", "a\x80", false},
        {"cut short by the end", "\xE2\x82", false},
        {"ASCII where a continuation belongs", "\xE2\x82Z", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(text::IsValidUtf8(row.bytes), row.valid);
    }
}

TEST(Utf8Text, SequenceLengthIsTheCharacterAtAPosition) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80";
    EXPECT_EQ(text::Utf8SequenceLength(text, 0), 1u);
    EXPECT_EQ(text::Utf8SequenceLength(text, 1), 2u);
    EXPECT_EQ(text::Utf8SequenceLength(text, 3), 3u);
    EXPECT_EQ(text::Utf8SequenceLength(text, 6), 4u);
    EXPECT_EQ(text::Utf8SequenceLength(text, 2), 0u) << "inside a character";
    EXPECT_EQ(text::Utf8SequenceLength(text, 10), 0u) << "a stray continuation byte";
    EXPECT_EQ(text::Utf8SequenceLength(text, text.size()), 0u) << "past the end";
    EXPECT_EQ(text::Utf8SequenceLength(text.substr(0, 8), 6), 0u) << "cut short";
}

}  // namespace
