#include "device/ddb/ddb_text.h"

#include <algorithm>

#include "device/ddb/ddb_keys.h"

namespace dravik::device::ddb {

namespace {

unsigned char Lower(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

const Key* FindKey(std::string_view name) {
    for (const Key& key : kKeys)
        if (EqualNoCase(key.name, name)) return &key;
    return nullptr;
}

std::size_t ContentEnd(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) return text.size();
    // Lines end in CR LF or a lone LF; a lone CR is not a line end.
    if (end > pos && text[end - 1] == '\r') --end;
    return end;
}

std::size_t NextLine(std::string_view text, std::size_t pos) {
    std::size_t lf = text.find('\n', std::min(pos, text.size()));
    return lf == std::string_view::npos ? text.size() : lf + 1;
}

DeviceNameParts SplitDeviceName(std::string_view deviceName) {
    std::string name(deviceName);
    std::replace(name.begin(), name.end(), ':', '%');
    std::size_t blank = name.find(' ');
    if (blank == std::string::npos) return {name, name};
    return {name.substr(0, blank), name.substr(blank + 1)};
}

SectionHeader ReadSectionHeader(std::string_view text, std::size_t lineStart) {
    SectionHeader header;
    std::size_t nameStart = lineStart + 1;
    std::size_t lineEnd = ContentEnd(text, nameStart);
    // The name must close on its own line: a "]" further down would swallow
    // entry lines into the name.
    std::size_t close = text.substr(0, lineEnd).find(']', nameStart);
    if (close == std::string_view::npos) {
        header.name = text.substr(nameStart, std::min(lineEnd - nameStart, kNameShownChars));
        return header;
    }
    header.name = text.substr(nameStart, close - nameStart);
    if (header.name.size() > kMaxNameChars) {
        header.name = header.name.substr(0, kNameShownChars);
        return header;
    }
    header.valid = true;
    // The body starts on the line after the header. Anything after the "]"
    // on the header line is not an entry; starting the body right after the
    // "]" would let an update insert an entry into the middle of that line.
    header.bodyStart = NextLine(text, close);
    return header;
}

SectionLookup FindSection(std::string_view text, std::string_view vendor, const BadNameReport& bad) {
    for (std::size_t pos = 0; pos < text.size(); pos = NextLine(text, pos)) {
        if (text[pos] != '[') continue;
        SectionHeader header = ReadSectionHeader(text, pos);
        if (!header.valid) {
            if (bad) bad(header.name);
            return {};
        }
        if (EqualNoCase(header.name, vendor)) return {true, header.bodyStart};
    }
    return {};
}

EntryLine NextEntryLine(std::string_view text, std::size_t pos) {
    EntryLine line;
    while (pos < text.size()) {
        bool atLineStart = pos == 0 || text[pos - 1] == '\n';
        if (atLineStart && text[pos] == '[') break;
        if (IsBlank(text[pos])) {
            ++pos;
            continue;
        }
        if (text[pos] == '#') {
            pos = NextLine(text, pos);
            continue;
        }
        line.lineStart = pos;
        line.valueEnd = ContentEnd(text, pos);
        line.next = NextLine(text, pos);
        std::size_t colon = text.substr(0, line.valueEnd).find(':', pos);
        if (colon == std::string_view::npos) {
            line.kind = EntryLine::NoColon;
            line.colon = line.valueEnd;
        } else {
            line.kind = EntryLine::Entry;
            line.colon = colon;
        }
        return line;
    }
    line.lineStart = line.colon = line.valueEnd = line.next = std::min(pos, text.size());
    return line;
}

EntryLookup FindEntry(std::string_view text, std::size_t bodyStart, std::string_view product,
                      bool allowWildcards, const BadNameReport& bad) {
    for (std::size_t pos = bodyStart;;) {
        EntryLine line = NextEntryLine(text, pos);
        if (line.kind != EntryLine::Entry) return {};
        std::string_view name = line.Name(text);
        if (name.size() > kMaxNameChars) {
            if (bad) bad(name.substr(0, kNameShownChars));
            return {};
        }
        if (allowWildcards && !name.empty() && name.back() == '*') {
            std::string_view stem = name.substr(0, name.size() - 1);
            if (StartsWithNoCase(product, stem)) return {true, true, line};
        }
        if (EqualNoCase(name, product)) return {true, false, line};
        pos = line.next;
    }
}

std::optional<uint32_t> ParseInteger(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == '0') {
        base = 8;
    }
    if (i >= text.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (negative) value = (~value + 1) & 0xFFFFFFFFull;
    return static_cast<uint32_t>(value);
}

}  // namespace dravik::device::ddb
