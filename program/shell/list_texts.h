// What the file list shows of a catalogue item: the texts of its four
// columns, its picture, and the order of two items under a sort column.
#pragma once

#include <QCollator>
#include <QLocale>
#include <QString>
#include <cstdint>

#include "program/scan/item_date.h"

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::shell {

// Sizes above this many bytes are shown in kilobytes with a "K".
constexpr std::uint32_t kLargestSizeInBytes = 10239;
// The start column of an item without a usable location.
constexpr char kNoStartText[] = "N/A     ";

// Column 0: the name; with `removeVersion`, a name whose second-to-last
// character is ";" loses its last two characters (";1").
QString ListNameText(const char* name, bool removeVersion);
// Column 0 of an item: its name as above and, for a symbolic link, " -> "
// and the target as written on the disc (as the text report shows it).
QString ListItemName(const scan::FoundItem& item, bool removeVersion);
// Column 1: the start block, or "N/A     " for -1.
QString ListStartText(std::int32_t start);
// Column 2: bytes up to 10239; above, (size + 1023) / 1024 followed by
// "K"; grouped by the locale, no decimals.
QString ListSizeText(std::uint32_t size, const QLocale& locale = QLocale());
// Column 3: the date text of the catalogue ("-- N/A --" without a date).
QString ListDateText(const scan::ItemDate& date);

// The list picture of an item (view_images.h).
int ListImageOf(const scan::FoundItem& item);

// Compares two items by a 1-based column: 1 the name (a directory before a
// file; otherwise the locale's case-insensitive order), 2 the start block,
// 3 the size, 4 the date bytes. Negative when `a` comes first.
int CompareListItems(const scan::FoundItem& a, const scan::FoundItem& b, int column, const QCollator& names);
// A collator that orders names as the list does.
QCollator ListNameCollator();

}  // namespace dravik::shell
