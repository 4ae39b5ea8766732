#include "program/shell/status_bar.h"

#include <QPainter>
#include <QPixmap>

#include "program/messages/language_module.h"
#include "program/shell/language_text.h"
#include "program/messages/show_message.h"

namespace dravik::shell {

namespace {

constexpr int kIconSide = 16;
constexpr int kIconPartWidth = 18;
constexpr unsigned kDebugTipText = 1101;
constexpr unsigned kOptionsTipText = 1102;

// A round badge with a letter: the look of both status icons.
QIcon Badge(QColor fill, QChar letter) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(kIconSide * scale, kIconSide * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(fill.darker(140), 1));
        painter.setBrush(fill);
        painter.drawEllipse(QRectF(1.5, 1.5, kIconSide - 3, kIconSide - 3));
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(10);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, kIconSide, kIconSide), Qt::AlignCenter, QString(letter));
        icon.addPixmap(pixmap);
    }
    return icon;
}


QLabel* IconPart(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFixedWidth(kIconPartWidth);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

QIcon DebugModeIcon() { return Badge(QColor(0xd0, 0x5a, 0x1c), QLatin1Char('D')); }
QIcon ReadingOptionsIcon() { return Badge(QColor(0x2a, 0x6f, 0xb8), QLatin1Char('R')); }

StatusBarParts::StatusBarParts(QStatusBar* bar)
    : QObject(bar), bar_(bar), debugSymbol_(DebugModeIcon()), optionsSymbol_(ReadingOptionsIcon()) {
    bar_->setSizeGripEnabled(true);
    text_ = new QLabel(bar_);
    text_->setTextFormat(Qt::PlainText);
    text_->setMinimumWidth(100);
    debugIcon_ = IconPart(bar_);
    optionsIcon_ = IconPart(bar_);
    debugIcon_->setToolTip(LanguageText(kDebugTipText));
    optionsIcon_->setToolTip(LanguageText(kOptionsTipText));
    device_ = new QLabel(bar_);
    device_->setTextFormat(Qt::PlainText);
    device_->hide();
    bar_->addWidget(text_, 1);
    bar_->addPermanentWidget(debugIcon_);
    bar_->addPermanentWidget(optionsIcon_);
    bar_->addPermanentWidget(device_);
}

QLabel* StatusBarParts::Part(int part) const {
    switch (part) {
        case 0: return text_;
        case 1: return debugIcon_;
        case 2: return optionsIcon_;
        case 3: return device_;
        default: return nullptr;
    }
}

void StatusBarParts::SetText(int part, const QString& text) {
    if (QLabel* label = Part(part)) label->setText(text);
}

QString StatusBarParts::Text(int part) const {
    QLabel* label = Part(part);
    return label ? label->text() : QString();
}

void StatusBarParts::ShowDevice(const QString& deviceText, bool debugMode, bool readingOptions) {
    device_->setText(deviceText);
    device_->show();
    parts_ = 4;
    debugIcon_->setPixmap(debugMode ? debugSymbol_.pixmap(kIconSide, kIconSide) : QPixmap());
    optionsIcon_->setPixmap(readingOptions ? optionsSymbol_.pixmap(kIconSide, kIconSide) : QPixmap());
}

}  // namespace dravik::shell
