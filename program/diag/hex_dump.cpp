#include "program/diag/hex_dump.h"

#include <cstdio>

namespace dravik::diag {

namespace {
constexpr std::size_t kBytesPerLine = 16;
constexpr std::size_t kHexColumn = 5;    // first hex digit
constexpr std::size_t kCharColumn = 54;  // the opening "|"

std::string FormatLine(const unsigned char* bytes, std::size_t count, std::size_t offset) {
    static const char kDigits[] = "0123456789abcdef";
    std::string line(kCharColumn + count + 2, ' ');
    char offsetText[16];
    std::snprintf(offsetText, sizeof offsetText, "%04zX", offset & 0xFFFF);
    line.replace(0, 4, offsetText, 4);
    line[kCharColumn] = '|';
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char b = bytes[i];
        line[kHexColumn + 3 * i] = kDigits[b >> 4];
        line[kHexColumn + 3 * i + 1] = kDigits[b & 15];
        line[kCharColumn + 1 + i] = (b >= 0x20 && b <= 0x7F) ? static_cast<char>(b) : '.';
    }
    line[kCharColumn + 1 + count] = '|';
    return line;
}
}  // namespace

std::vector<std::string> FormatHexDumpLines(const unsigned char* data, std::size_t length) {
    std::vector<std::string> lines;
    std::string previous;  // starts empty, so the first line is always written
    bool inRun = false;
    for (std::size_t offset = 0; offset < length; offset += kBytesPerLine) {
        std::size_t count = length - offset < kBytesPerLine ? length - offset : kBytesPerLine;
        std::string line = FormatLine(data + offset, count, offset);
        bool sameAsPrevious = !previous.empty() && line.compare(kHexColumn, std::string::npos, previous,
                                                                kHexColumn, std::string::npos) == 0;
        if (!sameAsPrevious) {
            lines.push_back(line);
            inRun = false;
        } else if (!inRun) {
            lines.emplace_back(kOmittedLine);
            inRun = true;
        }
        previous = std::move(line);
    }
    return lines;
}

}  // namespace dravik::diag
