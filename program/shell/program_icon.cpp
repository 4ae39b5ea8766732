#include "program/shell/program_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

namespace dravik::shell {

QIcon ProgramIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal r = side / 2.0 - 0.5;
        const QPointF centre(side / 2.0, side / 2.0);
        QConicalGradient shine(centre, 30);
        shine.setColorAt(0.0, QColor(0xd8, 0xdc, 0xe4));
        shine.setColorAt(0.2, QColor(0xb8, 0xe0, 0xf0));
        shine.setColorAt(0.4, QColor(0xf4, 0xf4, 0xf8));
        shine.setColorAt(0.6, QColor(0xe8, 0xc8, 0xe8));
        shine.setColorAt(0.8, QColor(0xc8, 0xcc, 0xd4));
        shine.setColorAt(1.0, QColor(0xd8, 0xdc, 0xe4));
        painter.setPen(QPen(QColor(0x70, 0x76, 0x80), side >= 32 ? 1.5 : 1.0));
        painter.setBrush(shine);
        painter.drawEllipse(centre, r, r);
        painter.setBrush(QColor(0xa0, 0xa6, 0xb0));
        painter.drawEllipse(centre, r * 0.32, r * 0.32);
        painter.setBrush(Qt::white);
        painter.setPen(QPen(QColor(0x70, 0x76, 0x80), 1.0));
        painter.drawEllipse(centre, r * 0.14, r * 0.14);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace dravik::shell
