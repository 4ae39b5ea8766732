// The window at the end of a copy: how many files were written, damaged
// (unreadable blocks written as zeros, with the block ranges), missing and
// skipped, one line per file, and "Save list..." to keep that list as a
// text file.
#pragma once

#include <QDialog>
#include <functional>

#include "program/extract/extractor.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace dravik::shell {

class CopySummaryDialog : public QDialog {
    Q_OBJECT
public:
    CopySummaryDialog(QWidget* owner, const extract::ExtractSummary& summary);

    // Writes the list to `path`; false (after telling the user) when it
    // cannot be written.
    bool SaveList(const QString& path);

    QLabel* Headline() const { return headline_; }
    QPlainTextEdit* List() const { return list_; }
    QPushButton* SaveButton() const { return save_; }

private:
    QString text_;
    QLabel* headline_;
    QPlainTextEdit* list_;
    QPushButton* save_;
};

// Where "Save list..." and "Save Report..." write: a save-file dialog
// unless a test installed another chooser (null restores the dialog).
using SavePathChooser = std::function<QString(QWidget* owner, const QString& title, const QString& suggested)>;
void SetSavePathChooser(SavePathChooser chooser);
QString ChooseSavePath(QWidget* owner, const QString& title, const QString& suggested);

// Writes `text` to `path` whole (a temporary file renamed); false with the
// reason in `error`.
bool WriteTextFile(const QString& path, const QByteArray& text, QString& error);

}  // namespace dravik::shell
