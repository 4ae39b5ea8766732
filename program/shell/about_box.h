// The about box on the language module's layout "ABOUT", in two modes: the
// start-up splash (modeless, centred on the screen, gone after five
// seconds or a mouse click) and the modal box of Help > About. It shows
// the picture beside the program (its path with ".sph" appended, in any
// image format Qt reads; a grey area when there is none), the title, the
// program's and the device library's versions (string 122) and a button
// that writes to support.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;

namespace dravik::shell {

enum class AboutMode { kSplash, kModal };

class AboutBox : public QObject {
    Q_OBJECT
public:
    static constexpr int kSplashMilliseconds = 5000;

    // Builds the dialog hidden; it deletes itself, and this object, when
    // closed. Throws FormError when the layout lacks a control.
    AboutBox(QWidget* owner, AboutMode mode);

    QDialog* Dialog() const { return dialog_; }
    QLabel* Picture() const { return picture_; }
    QLabel* Title() const { return title_; }
    QLabel* Version() const { return version_; }
    QPushButton* SupportButton() const { return support_; }
    bool HasPicture() const { return hasPicture_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QDialog> dialog_;
    QLabel* picture_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* support_ = nullptr;
    AboutMode mode_;
    bool hasPicture_ = false;
};

// The splash picture: the program's path with ".sph" appended, unless a
// test named another file.
QString SplashPicturePath();
void SetSplashPicturePath(const QString& path);

// String 122 with the program's version and the device library's interface
// version (of the selected drive, else of the first drive listed); with no
// drive, only its first line.
QString AboutVersionText();

// The address "Write to Support" mails: "SupportEmail" of the settings key
// ".DRAVIK", else the maker's support address.
QString SupportMailAddress();

// Opens the start-up splash and returns at once; null when the layout is
// missing (start-up goes on without it).
AboutBox* ShowSplash();
// The splash while it is open.
AboutBox* OpenSplash();
// Closes the splash now (-N, a bad command line).
void CloseSplash();
// Serves events until the splash has gone.
void WaitForSplash();

// Writes "Dravik version: <program>, <device library>" to the debug log
// (start-up, once the command line has said whether the log is on).
void LogVersionLine();

// Help > About: the modal box over `owner`.
void RunAboutBox(QWidget* owner);

}  // namespace dravik::shell
