#include "program/shell/view_images.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dravik::shell {

namespace {

const QColor kFolderFill(0xf2, 0xc2, 0x4f);
const QColor kFolderEdge(0xb3, 0x84, 0x1c);
const QColor kPaperFill(0xfb, 0xfb, 0xf8);
const QColor kPaperEdge(0x7d, 0x85, 0x8f);
const QColor kDeletedMark(0xc6, 0x28, 0x28);
const QColor kWarningFill(0xf0, 0x9a, 0x1a);

// Everything is drawn on a 16-unit grid and scaled.
void DrawFolder(QPainter& p, bool open) {
    p.setPen(QPen(kFolderEdge, 0.8));
    p.setBrush(kFolderFill.darker(108));
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(kFolderFill);
    QPainterPath front;
    if (open) {
        front.moveTo(1.5, 13.5);
        front.lineTo(3.5, 7.5);
        front.lineTo(15.5, 7.5);
        front.lineTo(13.5, 13.5);
    } else {
        front.moveTo(1.5, 6.5);
        front.lineTo(14.5, 6.5);
        front.lineTo(14.5, 13.5);
        front.lineTo(1.5, 13.5);
    }
    front.closeSubpath();
    p.drawPath(front);
}

void DrawPaper(QPainter& p) {
    p.setPen(QPen(kPaperEdge, 0.8));
    p.setBrush(kPaperFill);
    QPainterPath sheet;
    sheet.moveTo(3.5, 1.5);
    sheet.lineTo(9.5, 1.5);
    sheet.lineTo(12.5, 4.5);
    sheet.lineTo(12.5, 14.5);
    sheet.lineTo(3.5, 14.5);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
    p.setPen(QPen(kPaperEdge.lighter(130), 0.7));
    for (double y : {7.0, 9.0, 11.0}) p.drawLine(QPointF(5, y), QPointF(11, y));
}

void DrawCross(QPainter& p) {
    p.setPen(QPen(kDeletedMark, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 9), QPointF(14.5, 14.5));
    p.drawLine(QPointF(14.5, 9), QPointF(9, 14.5));
}

void DrawQuestion(QPainter& p) {
    p.setPen(QPen(kPaperEdge, 0.8));
    p.setBrush(QColor(0xd9, 0xdd, 0xe2));
    p.drawEllipse(QRectF(7.5, 7.5, 7.5, 7.5));
    QFont font = p.font();
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x40, 0x46, 0x50));
    p.drawText(QRectF(7.5, 7.5, 7.5, 7.5), Qt::AlignCenter, QStringLiteral("?"));
}

void DrawWarning(QPainter& p) {
    p.setPen(QPen(kWarningFill.darker(150), 0.8));
    p.setBrush(kWarningFill);
    QPainterPath triangle;
    triangle.moveTo(11.25, 7.5);
    triangle.lineTo(15.5, 15);
    triangle.lineTo(7, 15);
    triangle.closeSubpath();
    p.drawPath(triangle);
    p.setPen(QPen(Qt::white, 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.25, 9.8), QPointF(11.25, 12.4));
    p.drawPoint(QPointF(11.25, 13.9));
}

enum class Picture { Folder, FolderOpen, FolderDeleted, File, FileDeleted, NoLocation, Damaged };

QPixmap Draw(Picture picture, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 16.0, side / 16.0);
    switch (picture) {
        case Picture::Folder: DrawFolder(p, false); break;
        case Picture::FolderOpen: DrawFolder(p, true); break;
        case Picture::FolderDeleted:
            DrawFolder(p, false);
            DrawCross(p);
            break;
        case Picture::File: DrawPaper(p); break;
        case Picture::FileDeleted:
            DrawPaper(p);
            DrawCross(p);
            break;
        case Picture::NoLocation:
            p.setOpacity(0.55);
            DrawPaper(p);
            p.setOpacity(1.0);
            DrawQuestion(p);
            break;
        case Picture::Damaged:
            DrawPaper(p);
            DrawWarning(p);
            break;
    }
    return pixmap;
}

const QIcon& Cached(Picture picture) {
    static QHash<int, QIcon> cache;
    auto found = cache.find(static_cast<int>(picture));
    if (found == cache.end()) {
        QIcon icon;
        for (int side : {16, 32, 48, 96}) icon.addPixmap(Draw(picture, side));
        found = cache.insert(static_cast<int>(picture), icon);
    }
    return *found;
}

}  // namespace

QIcon TreeIcon(int image) {
    switch (image) {
        case kTreeFolderOpen: return Cached(Picture::FolderOpen);
        case kTreeFolderDeleted: return Cached(Picture::FolderDeleted);
        default: return Cached(Picture::Folder);
    }
}

QIcon ListIcon(int image) {
    switch (image) {
        case kListFolder: return Cached(Picture::Folder);
        case kListFolderDeleted: return Cached(Picture::FolderDeleted);
        case kListFileDeleted: return Cached(Picture::FileDeleted);
        case kListNoLocation: return Cached(Picture::NoLocation);
        case kListDamaged: return Cached(Picture::Damaged);
        default: return Cached(Picture::File);
    }
}

}  // namespace dravik::shell
