#include "program/readers/iso9660/iso_names.h"

#include <string_view>

#include "platform/utf8_text.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/readers/iso9660/rock_ridge.h"

namespace dravik::readers::iso {

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::string IsoBytesToUtf8(const std::uint8_t* bytes, std::size_t length) {
    const std::string_view recorded(reinterpret_cast<const char*>(bytes), length);
    if (text::IsValidUtf8(recorded)) return std::string(recorded);
    std::string out;
    out.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) AppendUtf8(out, bytes[i]);
    return out;
}

std::string Ucs2BeToUtf8(const std::uint8_t* bytes, std::size_t length, bool& failed) {
    std::string out;
    const std::size_t characters = length / 2;
    for (std::size_t i = 0; i < characters; ++i) {
        std::uint32_t code = dravik::bytes::GetBe16(bytes + 2 * i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < characters) {
            const std::uint32_t low = dravik::bytes::GetBe16(bytes + 2 * (i + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) {
            failed = true;
            code = '?';
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string TrimVolumeIdentifier(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::optional<std::string> RockRidgeName(const std::uint8_t* record, std::size_t recordLength) {
    const std::uint8_t* area = nullptr;
    std::size_t length = 0;
    SystemUseArea(record, recordLength, 0, area, length);
    const RockRidgeEntries entries = ParseSystemUse(area, length);
    // An empty name (the entry names "." or "..", or is damaged) would hide
    // the file; its ISO identifier is kept instead.
    if (!entries.name || entries.name->empty()) return std::nullopt;
    return IsoBytesToUtf8(reinterpret_cast<const std::uint8_t*>(entries.name->data()), entries.name->size());
}

}  // namespace dravik::readers::iso
