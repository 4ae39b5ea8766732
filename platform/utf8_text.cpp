#include "platform/utf8_text.h"

namespace dravik::text {

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::size_t Utf8CutLength(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    // text[limit] is the first byte left out: while it continues a
    // character, that character's start moves out too.
    std::size_t length = limit;
    while (length > 0 && IsContinuationByte(text[length])) --length;
    return length;
}

std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    return text.substr(0, Utf8CutLength(text, limit));
}

void CutUtf8InPlace(std::string& text, std::size_t limit) { text.resize(Utf8CutLength(text, limit)); }

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (at >= text.size()) return 0;
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    // The lead byte gives the length; the ranges allowed for the second
    // byte shut out overlong forms (E0, F0), surrogates (ED) and values
    // above U+10FFFF (F4). C0, C1 and F5..FF never start a character.
    std::size_t length;
    unsigned char lowest = 0x80, highest = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) lowest = 0xA0;
        if (lead == 0xED) highest = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) lowest = 0x90;
        if (lead == 0xF4) highest = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(at + 1) < lowest || byte(at + 1) > highest) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!IsContinuationByte(text[at + i])) return 0;
    return length;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

}  // namespace dravik::text
