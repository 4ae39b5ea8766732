#include "program/shell/toolbar_art.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dravik::shell {

namespace {

// The colours of the normal pictures; the disabled ones use one grey.
struct Ink {
    QColor line;    // outlines and symbols
    QColor accent;  // Dravik's blue: arrows, the active part
    QColor disc;    // the disc's silver
    QColor paper;   // pages and panels
};

Ink NormalInk() { return {QColor(0x34, 0x3a, 0x44), QColor(0x1f, 0x6f, 0xb2), QColor(0xc9, 0xd3, 0xde), QColor(0xfa, 0xfb, 0xfc)}; }
Ink DisabledInk() { return {QColor(0x9a, 0x9e, 0xa4), QColor(0xa8, 0xac, 0xb2), QColor(0xdc, 0xde, 0xe1), QColor(0xf0, 0xf1, 0xf2)}; }

// A disc: silver with a ring and the hole.
void DrawDisc(QPainter& p, const Ink& ink, QPointF centre, qreal radius) {
    p.setPen(QPen(ink.line, 1.2));
    p.setBrush(ink.disc);
    p.drawEllipse(centre, radius, radius);
    p.setBrush(ink.paper);
    p.drawEllipse(centre, radius * 0.3, radius * 0.3);
    p.setPen(QPen(ink.paper, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - radius * 0.65, centre.y() - radius * 0.65, radius * 1.3, radius * 1.3), 30 * 16, 70 * 16);
}

// An arrow head at `tip`, pointing along `angle` degrees (0 = right).
void DrawArrowHead(QPainter& p, QPointF tip, qreal angle, qreal size, const QColor& colour) {
    p.save();
    p.translate(tip);
    p.rotate(angle);
    QPainterPath head;
    head.moveTo(0, 0);
    head.lineTo(-size, -size * 0.7);
    head.lineTo(-size, size * 0.7);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
    p.restore();
}

void DrawSelectDrive(QPainter& p, const Ink& ink) {
    // The drive's front with its open tray and a disc on it.
    p.setPen(QPen(ink.line, 1.2));
    p.setBrush(ink.paper);
    p.drawRoundedRect(QRectF(2.5, 12.5, 19, 8), 1.5, 1.5);
    p.setBrush(ink.accent);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(15, 17, 4, 1.6));  // the busy light
    p.setPen(QPen(ink.line, 1.2));
    p.drawLine(QPointF(5, 15), QPointF(12, 15));
    DrawDisc(p, ink, QPointF(12, 7.5), 6);
}

void DrawScanAgain(QPainter& p, const Ink& ink) {
    DrawDisc(p, ink, QPointF(12, 12), 6.5);
    p.setPen(QPen(ink.accent, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(2.5, 2.5, 19, 19);
    p.drawArc(ring, 100 * 16, 250 * 16);
    // The arrow's end, at the top of the ring, turning clockwise.
    DrawArrowHead(p, QPointF(14.5, 2.8), 0, 4.2, ink.accent);
}

void DrawCopyFiles(QPainter& p, const Ink& ink) {
    DrawDisc(p, ink, QPointF(8, 14), 6);
    // A page with a folded corner, leaving the disc.
    QPainterPath page;
    page.moveTo(12.5, 2.5);
    page.lineTo(18.5, 2.5);
    page.lineTo(21.5, 5.5);
    page.lineTo(21.5, 13.5);
    page.lineTo(12.5, 13.5);
    page.closeSubpath();
    p.setPen(QPen(ink.line, 1.2));
    p.setBrush(ink.paper);
    p.drawPath(page);
    p.drawLine(QPointF(14.5, 7.5), QPointF(19.5, 7.5));
    p.drawLine(QPointF(14.5, 10), QPointF(19.5, 10));
    // The arrow from the disc to the page's new place.
    p.setPen(QPen(ink.accent, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13.5, 19.5), QPointF(19, 19.5));
    DrawArrowHead(p, QPointF(22, 19.5), 0, 3.6, ink.accent);
}

// Eject: a triangle pointing up over a bar; load: a bar over a triangle
// pointing down (not to be read as navigation arrows).
void DrawTray(QPainter& p, const Ink& ink, bool eject) {
    p.setPen(Qt::NoPen);
    p.setBrush(eject ? ink.line : ink.accent);
    QPainterPath path;
    if (eject) {
        path.moveTo(12, 4);
        path.lineTo(20, 13);
        path.lineTo(4, 13);
        path.closeSubpath();
        path.addRect(QRectF(4, 16, 16, 3.5));
    } else {
        path.addRect(QRectF(4, 4.5, 16, 3.5));
        path.moveTo(4, 11);
        path.lineTo(20, 11);
        path.lineTo(12, 20);
        path.closeSubpath();
    }
    p.drawPath(path);
}

void DrawViews(QPainter& p, const Ink& ink) {
    // Three rows, each a small icon and a line of text.
    for (int row = 0; row < 3; ++row) {
        const qreal y = 4 + row * 6;
        p.setPen(QPen(ink.line, 1.0));
        p.setBrush(row == 0 ? ink.accent : ink.disc);
        p.drawRect(QRectF(3.5, y, 4, 4));
        p.setPen(QPen(ink.line, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10.5, y + 2), QPointF(20.5, y + 2));
    }
}

}  // namespace

QPixmap DrawToolbarArt(ToolbarArt art, int side, qreal ratio, bool enabled) {
    QPixmap pixmap(qRound(side * ratio), qRound(side * ratio));
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side * ratio / 24.0, side * ratio / 24.0);
    const Ink ink = enabled ? NormalInk() : DisabledInk();
    switch (art) {
        case ToolbarArt::kSelectDrive: DrawSelectDrive(p, ink); break;
        case ToolbarArt::kScanAgain: DrawScanAgain(p, ink); break;
        case ToolbarArt::kCopyFiles: DrawCopyFiles(p, ink); break;
        case ToolbarArt::kEject: DrawTray(p, ink, true); break;
        case ToolbarArt::kLoad: DrawTray(p, ink, false); break;
        case ToolbarArt::kViews: DrawViews(p, ink); break;
    }
    p.end();
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon ToolbarIcon(ToolbarArt art) {
    QIcon icon;
    for (int side : kToolbarArtSizes) {
        for (qreal ratio : {1.0, 2.0}) {
            icon.addPixmap(DrawToolbarArt(art, side, ratio, true), QIcon::Normal);
            icon.addPixmap(DrawToolbarArt(art, side, ratio, false), QIcon::Disabled);
        }
    }
    return icon;
}

}  // namespace dravik::shell
