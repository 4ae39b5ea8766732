// The window a copy shows while it runs: the file being written, the files
// and bytes done out of the total, a bar, and Cancel. It does not block the
// main window. The close box and Escape ask to cancel, as the button does;
// the copy's end closes the window.
#pragma once

#include <QDialog>

#include "program/app/copy_job.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace dravik::shell {

class CopyProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit CopyProgressDialog(QWidget* owner);

    void Show(const app::CopyProgress& progress);
    // After Cancel: the button grays and the window says it is stopping.
    void ShowCancelling();

    QLabel* FileLabel() const { return file_; }
    QLabel* CountLabel() const { return count_; }
    QPushButton* CancelButton() const { return cancel_; }

signals:
    void cancelRequested();

protected:
    void reject() override;

private:
    QLabel* file_;
    QLabel* count_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

// "1,234,567 bytes": thousands grouped for reading.
QString GroupedNumber(std::uint64_t value);

}  // namespace dravik::shell
