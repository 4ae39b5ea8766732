// dravik-art: writes the pictures the build ships that come from the
// program's own drawing code: the start-up splash ("dravik.sph", a PNG) and
// the desktop icons in the hicolor sizes.
//
//     dravik-art SPLASH_FILE ICON_FOLDER
//
// writes SPLASH_FILE and ICON_FOLDER/hicolor/<N>x<N>/apps/dravik.png.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "program/shell/program_icon.h"

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// A dark blue band with the disc on the left and the product's name.
QImage DrawSplash() {
    QImage image(440, 170, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor(0x12, 0x3a, 0x63));
    sky.setColorAt(1, QColor(0x0a, 0x1f, 0x38));
    p.fillRect(image.rect(), sky);
    p.drawPixmap(24, 21, dravik::shell::ProgramIcon().pixmap(128));
    p.setPen(Qt::white);
    QFont name(QStringLiteral("Sans"));
    name.setPixelSize(34);
    name.setBold(true);
    p.setFont(name);
    p.drawText(QRect(170, 40, 260, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Pellor Dravik"));
    QFont line(QStringLiteral("Sans"));
    line.setPixelSize(15);
    p.setFont(line);
    p.setPen(QColor(0xc8, 0xd8, 0xea));
    p.drawText(QRect(170, 88, 260, 48), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("Recovers files from CDs and disc images"));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: dravik-art SPLASH_FILE ICON_FOLDER\n");
        return 2;
    }
    const QString splash = QString::fromLocal8Bit(argv[1]);
    const QString icons = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(QFileInfo(splash).absolutePath());
    if (!DrawSplash().save(splash, "PNG")) {
        std::fprintf(stderr, "dravik-art: cannot write %s\n", argv[1]);
        return 1;
    }
    for (int side : kIconSizes) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(icons).arg(side);
        QDir().mkpath(folder);
        const QPixmap icon = dravik::shell::ProgramIcon().pixmap(side);
        if (icon.size() != QSize(side, side) || !icon.save(folder + QStringLiteral("/dravik.png"), "PNG")) {
            std::fprintf(stderr, "dravik-art: cannot write the %dx%d icon\n", side, side);
            return 1;
        }
    }
    return 0;
}
