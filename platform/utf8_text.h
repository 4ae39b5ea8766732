// UTF-8 text: cutting to a byte limit without splitting a character, and
// checking that bytes are well-formed UTF-8. All text of the program is
// UTF-8; names read from discs may hold any bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravik::text {

// The length of the longest prefix of `text` that is at most `limit` bytes
// long and does not end inside a character: a cut never leaves the lead
// bytes of a character without its continuation bytes.
std::size_t Utf8CutLength(std::string_view text, std::size_t limit);

// `text` cut to at most `limit` bytes on a character boundary.
std::string_view CutUtf8(std::string_view text, std::size_t limit);
void CutUtf8InPlace(std::string& text, std::size_t limit);

// The length of the well-formed UTF-8 sequence starting at text[at] (1 for
// ASCII), or 0 when the bytes there do not form one: stray continuation
// bytes, overlong forms, surrogates (U+D800..U+DFFF), values above U+10FFFF
// and sequences cut short by the end of `text` are refused.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// Whether all of `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace dravik::text
