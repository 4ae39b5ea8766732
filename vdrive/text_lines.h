// Line and word handling shared by the text parsers (cue sheets, CloneCD
// control files, disc descriptions). All of them read text from strangers,
// so the limits below hold for every one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/load_error.h"

namespace dravik::vdrive {

inline constexpr size_t kMaxTextFileBytes = 1 << 20;  // a control file is small
inline constexpr size_t kMaxLineLength = 4096;
inline constexpr size_t kMaxWordsPerLine = 64;

struct TextLine {
    int number;
    std::string_view text;  // without the line end and surrounding blanks
};

// Splits at LF, CR LF or CR. Fails (naming the line) on a line that is too
// long or holds a NUL byte.
bool SplitLines(std::string_view text, const std::string& file, std::vector<TextLine>& lines, LoadError& error);

// Words separated by blanks or tabs; "double quotes" keep blanks inside a
// word. Fails on an unclosed quote or too many words.
bool SplitWords(const TextLine& line, const std::string& file, std::vector<std::string>& words, LoadError& error);

// A whole decimal number, or hexadecimal with 0x, within [min, max].
bool ParseNumber(std::string_view text, int64_t min, int64_t max, int64_t& out);

// "mm:ss:ff" as a frame count (seconds below 60, frames below 75).
bool ParseMsfText(std::string_view text, int32_t& frames);

std::string Upper(std::string_view text);

// `path` taken relative to the folder of `baseFile` unless absolute.
std::string ResolveBeside(const std::string& baseFile, const std::string& path);

// Reads a control file whole, refusing one above `maxBytes`.
bool ReadTextFile(const std::string& path, std::string& text, LoadError& error, size_t maxBytes = kMaxTextFileBytes);

}  // namespace dravik::vdrive
