// The marks an item carries and the sentences that explain them.
#include "program/shell/damage_marks.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/shell/view_images.h"

namespace dravik::shell {
namespace {

TEST(DamageMarksTest, EachReaderFlagGivesItsMarkAndOneSentence) {
    scan::TrackNode stopped{};
    stopped.flags = scan::TrackStoppedEarly;
    scan::TrackNode whole{};
    scan::FoundItem parent{};
    struct Row {
        const char* what;
        std::uint16_t flags;
        bool root;
        scan::TrackNode* track;
        unsigned marks;
    } rows[] = {
        {"a plain file", 0, false, &whole, 0},
        {"fragmented is no damage", scan::ItemFragmented, false, &whole, 0},
        {"a folder not read whole", scan::ItemDirectory | scan::ItemIncomplete, false, &whole, kMarkFolderIncomplete},
        {"a root of a whole track", scan::ItemDirectory | scan::ItemIncomplete, true, &whole, kMarkFolderIncomplete},
        {"the root of a stopped track", scan::ItemDirectory | scan::ItemIncomplete, true, &stopped, kMarkTrackStopped},
        {"missing", scan::ItemMissing, false, &whole, kMarkMissing},
        {"overlapping", scan::ItemOverlap, false, &whole, kMarkDamaged},
        {"broken chain", scan::ItemBroken, false, &whole, kMarkDamaged},
        {"deleted", scan::ItemDeleted, false, &whole, kMarkDeleted},
        {"unnamed file", scan::ItemUnnamed, false, &whole, kMarkUnnamed},
        {"a track's unnamed placeholder root", scan::ItemUnnamed, true, &whole, 0},
        {"deleted and missing", scan::ItemDeleted | scan::ItemMissing, false, &whole, kMarkDeleted | kMarkMissing},
    };
    for (const Row& row : rows) {
        scan::FoundItem item{};
        item.flags = row.flags;
        item.track = row.track;
        item.parent = row.root ? nullptr : &parent;
        const unsigned marks = DamageMarksOf(item);
        EXPECT_EQ(marks, row.marks) << row.what;
        const QString text = DamageMarkText(marks);
        int bits = 0;
        for (unsigned rest = marks; rest; rest &= rest - 1) ++bits;
        EXPECT_EQ(text.isEmpty() ? 0 : static_cast<int>(text.count(QLatin1Char('\n'))) + 1, bits) << row.what;
    }
}

TEST(DamageMarksTest, AMarkedIconDiffersFromThePlainOne) {
    const QIcon plain = ListIcon(0);
    const QImage before = plain.pixmap(32, 32).toImage();
    EXPECT_EQ(MarkedIcon(plain, 0).pixmap(32, 32).toImage(), before);
    const QImage lost = MarkedIcon(plain, kMarkMissing).pixmap(32, 32).toImage();
    const QImage partial = MarkedIcon(plain, kMarkFolderIncomplete).pixmap(32, 32).toImage();
    EXPECT_NE(lost, before);
    EXPECT_NE(partial, before);
    EXPECT_NE(lost, partial) << "lost data and a partial folder look different";
}

}  // namespace
}  // namespace dravik::shell
