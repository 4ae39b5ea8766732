#include "program/shell/list_texts.h"

#include <cstring>

#include "program/scan/found_item.h"
#include "program/scan/posix_file_info.h"
#include "program/shell/view_images.h"

namespace dravik::shell {

QString ListNameText(const char* name, bool removeVersion) {
    const std::size_t length = std::strlen(name);
    if (removeVersion && length >= 2 && name[length - 2] == ';')
        return QString::fromUtf8(name, static_cast<qsizetype>(length - 2));
    return QString::fromUtf8(name, static_cast<qsizetype>(length));
}

QString ListItemName(const scan::FoundItem& item, bool removeVersion) {
    QString name = ListNameText(item.Name(), removeVersion);
    if (const std::string* target = scan::ItemLinkTarget(&item))
        name += QStringLiteral(" -> ") + QString::fromStdString(*target);
    return name;
}

QString ListStartText(std::int32_t start) {
    if (start == scan::StartNotAvailable) return QString::fromLatin1(kNoStartText);
    return QString::number(start);
}

QString ListSizeText(std::uint32_t size, const QLocale& locale) {
    if (size <= kLargestSizeInBytes) return locale.toString(static_cast<qulonglong>(size));
    // 64 bits: a size near 4 GB must not wrap to a few kilobytes.
    const std::uint64_t kilobytes = (static_cast<std::uint64_t>(size) + 1023) / 1024;
    return locale.toString(static_cast<qulonglong>(kilobytes)) + QLatin1Char('K');
}

QString ListDateText(const scan::ItemDate& date) { return QString::fromStdString(scan::ItemDateText(date)); }

int ListImageOf(const scan::FoundItem& item) {
    if (item.start == scan::StartNotAvailable) return kListNoLocation;
    const bool deleted = (item.flags & scan::ItemDeleted) != 0;
    if (item.flags & scan::ItemDirectory) return deleted ? kListFolderDeleted : kListFolder;
    if (item.flags & (scan::ItemOverlap | scan::ItemBroken)) return kListDamaged;
    return deleted ? kListFileDeleted : kListFile;
}

QCollator ListNameCollator() {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}

int CompareListItems(const scan::FoundItem& a, const scan::FoundItem& b, int column, const QCollator& names) {
    switch (column) {
        case 1: {
            const bool aDir = (a.flags & scan::ItemDirectory) != 0;
            const bool bDir = (b.flags & scan::ItemDirectory) != 0;
            if (aDir != bDir) return aDir ? -1 : 1;
            return names.compare(QString::fromUtf8(a.Name()), QString::fromUtf8(b.Name()));
        }
        case 2: return a.start < b.start ? -1 : a.start > b.start ? 1 : 0;
        case 3: return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
        case 4: return std::memcmp(&a.date, &b.date, sizeof a.date);
        default: return 0;
    }
}

}  // namespace dravik::shell
