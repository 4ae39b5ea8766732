#include "program/scan/item_date.h"

#include <langinfo.h>

#include <cstdio>
#include <cstring>

namespace dravik::scan {

namespace {

// Used when the locale's pattern holds a conversion the date alone cannot
// fill (a weekday, an era): an unambiguous numeric date.
constexpr char kFallbackPattern[] = "%Y-%m-%d";

void AppendNumber(std::string& out, int value, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// Month names come from the locale only for a month in range; a disc can
// record anything in that byte.
bool AppendMonthName(std::string& out, int month, bool abbreviated) {
    if (month < 1 || month > 12) {
        AppendNumber(out, month, "%02d");
        return true;
    }
    const nl_item first = abbreviated ? ABMON_1 : MON_1;
    const char* name = nl_langinfo(static_cast<nl_item>(first + month - 1));
    if (!name || !*name) return false;
    out += name;
    return true;
}

// Fills a strftime-style date pattern from the date's own fields, so that
// out-of-range bytes are shown as recorded instead of being handed to the C
// library. Two-digit years are widened to four: 1900 + year spans 1901 to
// 2155, and "05" would not say which century. False when the pattern holds
// a conversion other than a day, month or year.
bool FormatDatePattern(std::string& out, const ItemDate& date, std::string_view pattern) {
    const int year = 1900 + date.year;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i == pattern.size()) return false;
        c = pattern[i];
        // The E and O modifiers ask for alternative digits or eras; plain
        // digits serve.
        if ((c == 'E' || c == 'O') && i + 1 < pattern.size()) c = pattern[++i];
        switch (c) {
            case 'd': AppendNumber(out, date.day, "%02d"); break;
            case 'e': AppendNumber(out, date.day, "%2d"); break;
            case 'm': AppendNumber(out, date.month, "%02d"); break;
            case 'y':
            case 'Y': AppendNumber(out, year, "%04d"); break;
            case 'b':
            case 'h':
                if (!AppendMonthName(out, date.month, true)) return false;
                break;
            case 'B':
                if (!AppendMonthName(out, date.month, false)) return false;
                break;
            case 'D':
                AppendNumber(out, date.month, "%02d");
                out += '/';
                AppendNumber(out, date.day, "%02d");
                out += '/';
                AppendNumber(out, year, "%04d");
                break;
            case 'F':
                AppendNumber(out, year, "%04d");
                out += '-';
                AppendNumber(out, date.month, "%02d");
                out += '-';
                AppendNumber(out, date.day, "%02d");
                break;
            case '%': out += '%'; break;
            default: return false;
        }
    }
    return true;
}

}  // namespace

ItemDate ItemDateFromIso(const std::uint8_t* recorded) {
    ItemDate date{};
    if (!recorded) return date;
    date.year = recorded[0];
    date.month = recorded[1];
    date.day = recorded[2];
    date.hour = recorded[3];
    date.minute = recorded[4];
    date.second = recorded[5];
    date.zone = static_cast<std::int8_t>(recorded[6]);
    return date;
}

ItemDate ItemDateFromFields(int year, int month, int day, int hour, int minute, int second) {
    ItemDate date{};
    if (year < 1901 || year > 1900 + 255) return date;
    auto byte = [](int value) { return static_cast<std::uint8_t>(value < 0 || value > 255 ? 0 : value); };
    date.year = static_cast<std::uint8_t>(year - 1900);
    date.month = byte(month);
    date.day = byte(day);
    date.hour = byte(hour);
    date.minute = byte(minute);
    date.second = byte(second);
    return date;
}

std::string ItemTimeText(const ItemDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "  %d:%02d:%02d", date.hour, date.minute, date.second);
    // The column lines up for one- and two-digit hours.
    return date.hour >= 10 ? std::string(text + 1) : std::string(text);
}

std::string ItemDateText(const ItemDate& date, std::string_view datePattern) {
    if (date.year == 0) return kNoDateText;
    std::string text;
    if (!FormatDatePattern(text, date, datePattern)) {
        text.clear();
        FormatDatePattern(text, date, kFallbackPattern);
    }
    return text + ItemTimeText(date);
}

std::string ItemDateText(const ItemDate& date) {
    const char* pattern = nl_langinfo(D_FMT);
    return ItemDateText(date, pattern && *pattern ? pattern : kFallbackPattern);
}

}  // namespace dravik::scan
