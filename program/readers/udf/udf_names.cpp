#include "program/readers/udf/udf_names.h"

#include "platform/byte_order.h"
#include "program/readers/iso9660/iso_names.h"

namespace dravik::readers::udf {

namespace {

constexpr std::uint8_t kCompressed8 = 8;
constexpr std::uint8_t kCompressed16 = 16;

void AppendLatin1(std::string& text, std::uint8_t byte) {
    if (byte < 0x80) {
        text += static_cast<char>(byte);
    } else {
        text += static_cast<char>(0xC0 | (byte >> 6));
        text += static_cast<char>(0x80 | (byte & 0x3F));
    }
}

}  // namespace

std::string UdfName(std::size_t length, const std::uint8_t* field) {
    if (length < 2 || !field) return {};
    const std::uint8_t* text = field + 1;
    const std::size_t bytes = length - 1;
    std::string name;
    if (field[0] == kCompressed8) {
        for (std::size_t i = 0; i < bytes && text[i] != 0; ++i) AppendLatin1(name, text[i]);
        return name;
    }
    if (field[0] == kCompressed16) {
        std::size_t used = 0;
        while (used + 1 < bytes && (text[used] | text[used + 1]) != 0) used += 2;
        bool failed = false;
        return iso::Ucs2BeToUtf8(text, used, failed);
    }
    return {};
}

std::string UdfDString(const std::uint8_t* field, std::size_t size) {
    if (size < 2) return {};
    const std::size_t recorded = field[size - 1];
    if (recorded == 0 || recorded > size - 1) return {};
    return UdfName(recorded, field);
}

scan::ItemDate UdfDate(const std::uint8_t* stamp) {
    const int year = static_cast<std::int16_t>(bytes::GetLe16(stamp + 2));
    return scan::ItemDateFromFields(year, stamp[4], stamp[5], stamp[6], stamp[7], stamp[8]);
}

}  // namespace dravik::readers::udf
