// The main window's status bar: part 0 holds the status text, parts 1 and
// 2 the debug-mode and reading-options icons (with their tips), and a
// fourth part, once a device is shown, the drive's name.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <QString>

namespace dravik::shell {

class StatusBarParts : public QObject {
    Q_OBJECT
public:
    // Builds the three parts inside `bar`. Tips of parts 1 and 2 are the
    // language module's texts 1101 and 1102.
    explicit StatusBarParts(QStatusBar* bar);

    void SetText(int part, const QString& text);
    QString Text(int part) const;
    // Part 3 with the device text and the icons of parts 1 and 2 by the
    // switches they stand for; the status bar then has four parts.
    void ShowDevice(const QString& deviceText, bool debugMode, bool readingOptions);
    int PartCount() const { return parts_; }
    bool DebugIconShown() const { return debugIcon_->pixmap().isNull() == false; }
    bool OptionsIconShown() const { return optionsIcon_->pixmap().isNull() == false; }
    QLabel* Part(int part) const;

private:
    QStatusBar* bar_;
    QLabel* text_;
    QLabel* debugIcon_;
    QLabel* optionsIcon_;
    QLabel* device_;
    QIcon debugSymbol_;
    QIcon optionsSymbol_;
    int parts_ = 3;
};

// The two 16 x 16 status icons, drawn by the program.
QIcon DebugModeIcon();
QIcon ReadingOptionsIcon();

}  // namespace dravik::shell
