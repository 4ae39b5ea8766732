#include "vdrive/text_lines.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

namespace dravik::vdrive {

namespace {
std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}
}  // namespace

bool SplitLines(std::string_view text, const std::string& file, std::vector<TextLine>& lines, LoadError& error) {
    lines.clear();
    // A byte-order mark at the start is not part of the first line.
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int number = 1;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        std::string_view line = text.substr(at, end - at);
        if (line.size() > kMaxLineLength) {
            error = LoadError{file, number, "line longer than " + std::to_string(kMaxLineLength) + " characters"};
            return false;
        }
        if (line.find('\0') != std::string_view::npos) {
            error = LoadError{file, number, "line holds a NUL byte (not a text file?)"};
            return false;
        }
        lines.push_back(TextLine{number, Trim(line)});
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        at = end + 1;
        ++number;
    }
    return true;
}

bool SplitWords(const TextLine& line, const std::string& file, std::vector<std::string>& words, LoadError& error) {
    words.clear();
    std::string_view s = line.text;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == ' ' || s[i] == '\t') {
            ++i;
            continue;
        }
        if (words.size() == kMaxWordsPerLine) {
            error = LoadError{file, line.number, "too many words on one line"};
            return false;
        }
        std::string word;
        if (s[i] == '"') {
            size_t close = s.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = LoadError{file, line.number, "a quoted text is not closed"};
                return false;
            }
            word.assign(s.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = i;
            while (end < s.size() && s[end] != ' ' && s[end] != '\t') ++end;
            word.assign(s.substr(i, end - i));
            i = end;
        }
        words.push_back(std::move(word));
    }
    return true;
}

bool ParseNumber(std::string_view text, int64_t min, int64_t max, int64_t& out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 20) return false;
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (value > uint64_t(INT64_MAX)) return false;
    int64_t v = negative ? -int64_t(value) : int64_t(value);
    if (v < min || v > max) return false;
    out = v;
    return true;
}

bool ParseMsfText(std::string_view text, int32_t& frames) {
    int64_t part[3];
    for (int i = 0; i < 3; ++i) {
        size_t colon = i < 2 ? text.find(':') : text.size();
        if (colon == std::string_view::npos) return false;
        if (!ParseNumber(text.substr(0, colon), 0, i == 0 ? 999 : (i == 1 ? 59 : 74), part[i])) return false;
        if (i < 2) text.remove_prefix(colon + 1);
    }
    frames = int32_t(part[0] * 4500 + part[1] * 75 + part[2]);
    return true;
}

std::string Upper(std::string_view text) {
    std::string s(text);
    for (char& ch : s) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

std::string ResolveBeside(const std::string& baseFile, const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    size_t slash = baseFile.rfind('/');
    return slash == std::string::npos ? path : baseFile.substr(0, slash + 1) + path;
}

bool ReadTextFile(const std::string& path, std::string& text, LoadError& error, size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = LoadError{path, 0, std::string("cannot open: ") + std::strerror(errno)};
        return false;
    }
    text.clear();
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, size_t(in.gcount()));
        if (text.size() > maxBytes) {
            error = LoadError{path, 0, "file too large for a control file"};
            return false;
        }
    }
    return true;
}

}  // namespace dravik::vdrive
