// Scanning the text of the device database: lines, section headers, entry
// lines, names and numbers. Everything here works on a string_view with
// explicit bounds, so any bytes (NULs, lone CRs, no final line end) are
// safe to scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dravik::device::ddb {

// Longest vendor (section) or product (entry) name the file may hold; a
// longer one is reported with its first kNameShownChars characters.
inline constexpr std::size_t kMaxNameChars = 40;
inline constexpr std::size_t kNameShownChars = 39;
// A number token's value is considered up to this many characters.
inline constexpr std::size_t kMaxNumberChars = 79;

bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Where the text of the line at `pos` ends (its CR LF or LF, or the end).
std::size_t ContentEnd(std::string_view text, std::size_t pos);
// Where the line after the one at `pos` begins (after its LF, or the end).
std::size_t NextLine(std::string_view text, std::size_t pos);

// A device name split into the vendor (section) and product (entry) names:
// ":" becomes "%" since ":" ends a product name in the file, and the first
// blank separates the two. Without a blank both are the whole name.
struct DeviceNameParts {
    std::string vendor;
    std::string product;
};
DeviceNameParts SplitDeviceName(std::string_view deviceName);

// Called with the text near an error: a bad section header or an
// over-long name (its first kNameShownChars characters).
using BadNameReport = std::function<void(std::string_view near)>;

// A section header line ("[" at the start of a line).
struct SectionHeader {
    bool valid = false;      // "]" present and the name short enough
    std::string_view name;   // the name, or the text near the error
    std::size_t bodyStart = 0;
};
SectionHeader ReadSectionHeader(std::string_view text, std::size_t lineStart);

struct SectionLookup {
    bool found = false;
    std::size_t bodyStart = 0;
};
// Finds the section of `vendor` (case ignored). A malformed header is
// reported and ends the lookup as not found.
SectionLookup FindSection(std::string_view text, std::string_view vendor, const BadNameReport& bad);

// One step of the walk through a section's entry lines.
struct EntryLine {
    enum Kind { End, NoColon, Entry } kind = End;
    std::size_t lineStart = 0;   // first character of the name (white space skipped)
    std::size_t colon = 0;       // the ":" after the name
    std::size_t valueEnd = 0;    // end of the line's text
    std::size_t next = 0;        // start of the following line
    std::string_view Name(std::string_view text) const { return text.substr(lineStart, colon - lineStart); }
};
// The next entry line at or after `pos`, skipping white space, empty lines
// and comments; End at the end of the text or at the next section header.
EntryLine NextEntryLine(std::string_view text, std::size_t pos);

struct EntryLookup {
    bool found = false;
    bool wildcard = false;   // found through a name ending in "*"
    EntryLine line;
};
// Finds the entry of `product` in the section body starting at `bodyStart`.
// The first line that matches wins; a line without ":" or an over-long name
// (reported) ends the search as not found.
EntryLookup FindEntry(std::string_view text, std::size_t bodyStart, std::string_view product,
                      bool allowWildcards, const BadNameReport& bad);

// A whole integer in C syntax (decimal, 0x hexadecimal, leading-0 octal),
// with an optional sign; nothing else may follow. Values that do not fit
// 32 bits are rejected.
std::optional<uint32_t> ParseInteger(std::string_view text);

}  // namespace dravik::device::ddb
