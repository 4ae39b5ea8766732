#include "program/shell/damage_marks.h"

#include <QPainter>
#include <QPixmap>
#include <QStringList>

#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::shell {

namespace {

struct MarkText {
    DamageMark mark;
    const char* text;
};
constexpr MarkText kMarkTexts[] = {
    {kMarkFolderIncomplete, "Some of this folder could not be read: files it holds may be missing."},
    {kMarkTrackStopped, "The scan was stopped while this track was read: its tree is incomplete."},
    {kMarkMissing, "The file's data is not on the disc, or its entry could not be read."},
    {kMarkDamaged, "The file is damaged: its data overlaps another file's, or its chain of blocks is broken."},
    {kMarkDeleted, "The file was deleted: its data may have been overwritten since."},
    {kMarkUnnamed, "The file was found without a folder entry that names it."},
};

// The sizes the views ask for: the list's large and small icons, the tree's.
constexpr int kBadgeSizes[] = {16, 24, 32, 48};

}  // namespace

unsigned DamageMarksOf(const scan::FoundItem& item) {
    unsigned marks = 0;
    if (item.flags & scan::ItemIncomplete) {
        const bool stoppedTrack = !item.parent && item.track && (item.track->flags & scan::TrackStoppedEarly);
        marks |= stoppedTrack ? kMarkTrackStopped : kMarkFolderIncomplete;
    }
    if (item.flags & scan::ItemMissing) marks |= kMarkMissing;
    if (item.flags & (scan::ItemOverlap | scan::ItemBroken)) marks |= kMarkDamaged;
    if (item.flags & scan::ItemDeleted) marks |= kMarkDeleted;
    // A track's placeholder root is unnamed too; only files found outside
    // any folder get the mark.
    if ((item.flags & scan::ItemUnnamed) && item.parent) marks |= kMarkUnnamed;
    return marks;
}

QString DamageMarkText(unsigned marks) {
    QStringList lines;
    for (const MarkText& entry : kMarkTexts)
        if (marks & entry.mark) lines << QString::fromLatin1(entry.text);
    return lines.join(QLatin1Char('\n'));
}

QIcon MarkedIcon(const QIcon& icon, unsigned marks) {
    if (marks == 0) return icon;
    const bool dataLost = (marks & (kMarkMissing | kMarkDamaged)) != 0;
    QIcon marked;
    for (int size : kBadgeSizes) {
        QPixmap picture = icon.pixmap(size, size);
        if (picture.isNull()) {
            picture = QPixmap(size, size);
            picture.fill(Qt::transparent);
        }
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const int badge = std::max(7, size / 2);
        const QRectF area(picture.width() - badge, picture.height() - badge, badge - 1, badge - 1);
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(dataLost ? QColor(200, 30, 30) : QColor(230, 150, 0));
        painter.drawEllipse(area);
        painter.setPen(QPen(Qt::white, std::max(1.5, badge / 6.0), Qt::SolidLine, Qt::RoundCap));
        const QRectF inner = area.adjusted(badge * 0.3, badge * 0.3, -badge * 0.3, -badge * 0.3);
        if (dataLost) {
            painter.drawLine(inner.topLeft(), inner.bottomRight());
            painter.drawLine(inner.topRight(), inner.bottomLeft());
        } else {
            painter.drawLine(QPointF(inner.center().x(), inner.top()), QPointF(inner.center().x(), inner.bottom() - badge * 0.15));
        }
        painter.end();
        marked.addPixmap(picture);
    }
    return marked;
}

}  // namespace dravik::shell
