// The scan progress dialog on the language module's "SCANPROGRESS" layout:
// a looping animation (the program's "DRAVIK.anm"), a busy bar that runs
// 0-100 and starts again (hidden while prompts are suppressed), and Cancel,
// which asks the scan to stop. The close box and Escape are ignored: the
// scan's end closes the dialog.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

class QMovie;
class QProgressBar;
class QLabel;

namespace dravik::shell {

class ScanProgressDialog : public QObject {
    Q_OBJECT
public:
    // Builds the dialog hidden; throws FormError when the layout lacks a
    // control.
    ScanProgressDialog(QWidget* owner, bool showBar);
    ~ScanProgressDialog() override;

    // Shows the dialog and starts the animation.
    void Start();
    void SetBar(int value);

    QDialog* Dialog() const { return dialog_; }
    bool Animating() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QDialog> dialog_;
    QLabel* animation_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QMovie* movie_ = nullptr;
};

// Where the animation file lives: "DRAVIK.anm" in the program's folder,
// unless another file was named (tests run from another folder).
QString AnimationFilePath();
void SetAnimationFilePath(const QString& path);

}  // namespace dravik::shell
