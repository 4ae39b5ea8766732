// The copy commands of the main window, one implementation behind three
// entries: 40020 "Copy Files To..." copies the files selected in the list,
// or the folder the list shows when nothing is selected; 40010 "Save
// Selected Files..." (the list's popup menu) copies the list's selection;
// 99 "Save Folder..." (the tree's popup menu) copies the folder the popup
// was opened on, with everything below it. The user picks a folder (the
// last one is offered again, also after a restart); the copy then runs
// through the shared extractor on its own thread with a progress window,
// asks before replacing files (and before each file with "Ask before
// copying each file"), and ends with a summary window.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <unordered_set>

#include "program/app/copy_job.h"
#include "program/app/copy_questions.h"

class QTimer;

namespace dravik::shell {

class CopyProgressDialog;
class CopySummaryDialog;
class MainWindow;

// The registry value under the program's key holding the last folder.
constexpr char kCopyFolderValue[] = "CopyFolder";

// Where the folder comes from: a folder dialog unless a test installed
// another chooser (null restores the dialog). Empty: the user cancelled.
using CopyFolderChooser = std::function<QString(QWidget* owner, const QString& start)>;
void SetCopyFolderChooser(CopyFolderChooser chooser);

class CopyCommand : public QObject {
    Q_OBJECT
public:
    explicit CopyCommand(MainWindow& window);
    ~CopyCommand() override;

    // Carries out command 40020, 40010 or 99.
    void Run(int id);
    bool Running() const { return running_; }
    // As the progress window's Cancel.
    void Cancel();

    // The copy's windows while they are open.
    CopyProgressDialog* Progress() const;
    CopySummaryDialog* Summary() const;

signals:
    // The copy has ended and its summary window is showing.
    void finished();

private:
    std::unordered_set<const scan::FoundItem*> ChosenItems(int id) const;
    app::CopyAnswer Ask(const QString& name, const QString& text, const std::string& discPath);
    void Poll();
    void Finish();
    void LockCommands(bool lock);

    MainWindow& window_;
    app::CopyJob job_;
    std::unique_ptr<app::DeviceBlockSource> source_;
    std::unique_ptr<app::CopyQuestions> questions_;
    QPointer<CopyProgressDialog> progress_;
    QPointer<CopySummaryDialog> summary_;
    QTimer* timer_;
    std::vector<std::pair<QPointer<QObject>, bool>> lockedActions_;
    bool running_ = false;
};

}  // namespace dravik::shell
