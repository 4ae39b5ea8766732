#include "program/shell/tray_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dravik::shell {

namespace {

enum class Tray { kEject, kLoad };

// The symbol in the toolbar's text colour, at the sizes toolbars ask for.
QIcon DrawnTrayIcon(Tray kind) {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x3c, 0x40, 0x48));
        const qreal margin = side * 0.15;
        const qreal width = side - 2 * margin;
        const qreal triangle = side * 0.42;
        const qreal bar = side * 0.14;
        const qreal gap = side * 0.1;
        const qreal top = (side - triangle - gap - bar) / 2;
        QPainterPath path;
        if (kind == Tray::kEject) {
            path.moveTo(side / 2.0, top);
            path.lineTo(margin + width, top + triangle);
            path.lineTo(margin, top + triangle);
            path.closeSubpath();
            path.addRect(QRectF(margin, top + triangle + gap, width, bar));
        } else {
            path.addRect(QRectF(margin, top, width, bar));
            const qreal below = top + bar + gap;
            path.moveTo(margin, below);
            path.lineTo(margin + width, below);
            path.lineTo(side / 2.0, below + triangle);
            path.closeSubpath();
        }
        painter.drawPath(path);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QIcon EjectIcon() { return QIcon::fromTheme(QStringLiteral("media-eject"), DrawnTrayIcon(Tray::kEject)); }

QIcon LoadTrayIcon() { return DrawnTrayIcon(Tray::kLoad); }

}  // namespace dravik::shell
