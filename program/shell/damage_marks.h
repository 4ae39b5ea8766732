// The damage marks of the tree and the list: which marks a catalogue item
// carries (a folder not read completely, a track whose reading stopped
// early, a file missing, damaged, deleted or unnamed), the sentence that
// explains each in tooltips and status lines, and the badge drawn over the
// item's picture.
#pragma once

#include <QIcon>
#include <QString>

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::shell {

enum DamageMark : unsigned {
    kMarkFolderIncomplete = 0x01,
    kMarkTrackStopped = 0x02,
    kMarkMissing = 0x04,
    kMarkDamaged = 0x08,
    kMarkDeleted = 0x10,
    kMarkUnnamed = 0x20,
};

// The marks of `item`; the caller holds the catalogue lock.
unsigned DamageMarksOf(const scan::FoundItem& item);
// One sentence per mark, each on its own line; empty without marks.
QString DamageMarkText(unsigned marks);
// `icon` with a badge in its lower right corner when `marks` is not 0: a
// red cross for missing or damaged data, an amber bar otherwise.
QIcon MarkedIcon(const QIcon& icon, unsigned marks);

}  // namespace dravik::shell
