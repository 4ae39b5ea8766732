#include "program/shell/copy_command.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "device/cddevice/cddevice.h"
#include "program/app/drive_selection.h"
#include "program/app/settings_store.h"
#include "program/messages/show_message.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/shell/catalogue_views.h"
#include "program/shell/copy_progress_dialog.h"
#include "program/shell/copy_summary_dialog.h"
#include "program/shell/main_window.h"

namespace dravik::shell {

namespace {

constexpr int kCopyFilesTo = 40020;
constexpr int kSaveSelectedFiles = 40010;
constexpr int kSaveFolder = 99;
constexpr int kPollMs = 100;
// Commands held back while a copy runs: the copies themselves and every
// command that starts a scan or changes the drive (the catalogue must
// stay as it is while files are read from it).
constexpr int kLockedCommands[] = {40020, 40010, 99, 40018, 40061, 40015, 40019, 40039, 40038, 51685};

CopyFolderChooser& FolderChooser() {
    static CopyFolderChooser chooser;
    return chooser;
}

QString ChooseFolder(QWidget* owner, const QString& start) {
    if (FolderChooser()) return FolderChooser()(owner, start);
    return QFileDialog::getExistingDirectory(owner, QObject::tr("Copy Files To"), start);
}

}  // namespace

void SetCopyFolderChooser(CopyFolderChooser chooser) { FolderChooser() = std::move(chooser); }

CopyCommand::CopyCommand(MainWindow& window) : QObject(&window), window_(window), timer_(new QTimer(this)) {
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, [this] { Poll(); });
}

CopyCommand::~CopyCommand() {
    // The worker may wait for an answer on this thread: serve it until
    // the cancelled copy has ended.
    if (running_) {
        job_.Cancel();
        if (device::CDDevice* drive = scan::SelectedDevice()) drive->SetAbortFlag();
        while (!job_.Finished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        job_.Join();
    }
}

CopyProgressDialog* CopyCommand::Progress() const { return progress_; }
CopySummaryDialog* CopyCommand::Summary() const { return summary_; }

std::unordered_set<const scan::FoundItem*> CopyCommand::ChosenItems(int id) const {
    std::unordered_set<const scan::FoundItem*> chosen;
    CatalogueViews* views = window_.Views();
    if (id == kSaveFolder) {
        if (const scan::FoundItem* item = views->PopupTreeItem()) chosen.insert(item);
        return chosen;
    }
    for (const scan::FoundItem* item = views->NextSelectedListItem(nullptr); item;
         item = views->NextSelectedListItem(item))
        chosen.insert(item);
    if (chosen.empty() && id == kCopyFilesTo) {
        if (const scan::FoundItem* folder = views->SelectedTreeItem()) chosen.insert(folder);
    }
    return chosen;
}

void CopyCommand::Run(int id) {
    if (running_ || app::CopyRunning() || scan::ScanRunning) return;
    if (id != kCopyFilesTo && id != kSaveSelectedFiles && id != kSaveFolder) return;
    std::unordered_set<const scan::FoundItem*> chosen = ChosenItems(id);
    if (chosen.empty()) {
        QApplication::beep();
        return;
    }
    device::CDDevice* drive = scan::SelectedDevice();
    if (!drive) {
        messages::ShowMessage(static_cast<int>(app::kNoDriveSelected));
        return;
    }
    const QString last = QString::fromStdString(app::ReadProgramString(kCopyFolderValue, ""));
    const QString folder = ChooseFolder(&window_, last.isEmpty() ? QDir::homePath() : last);
    if (folder.isEmpty()) return;
    app::WriteProgramString(kCopyFolderValue, folder.toStdString());

    extract::ExtractOptions options;
    options.targetFolder = folder.toStdString();
    options.items = std::move(chosen);
    std::vector<const scan::FoundItem*> roots;
    {
        scan::CatalogueGuard guard;
        for (const scan::TrackNode* node = scan::TrackListHead; node; node = node->next)
            if (node->rootItem) roots.push_back(node->rootItem);
    }
    source_ = std::make_unique<app::DeviceBlockSource>(*drive);
    questions_ = std::make_unique<app::CopyQuestions>(
        settings::ProgramSettings.CopyPrompt != 0,
        [this](const std::string& path) {
            return Ask(QStringLiteral("CopyEachFileQuestion"), tr("Copy %1?"), path);
        },
        [this](const std::string& path) {
            return Ask(QStringLiteral("CopyReplaceQuestion"), tr("%1 exists in the folder already. Replace it?"), path);
        });
    const bool started = job_.Start(std::move(roots), std::move(options), *source_,
                                     [this](const std::string& path, bool exists) {
                                         return questions_->Decide(path, exists);
                                     });
    if (!started) {
        source_.reset();
        return;
    }
    running_ = true;
    LockCommands(true);
    if (summary_) summary_->close();
    progress_ = new CopyProgressDialog(&window_);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress_, &CopyProgressDialog::cancelRequested, this, [this] { Cancel(); });
    progress_->Show(job_.Progress());
    progress_->show();
    timer_->start();
}

// Called on the copy's thread: the question is asked on the user-interface
// thread, which keeps serving the window meanwhile.
app::CopyAnswer CopyCommand::Ask(const QString& name, const QString& text, const std::string& discPath) {
    app::CopyAnswer answer = app::CopyAnswer::kCancel;
    QMetaObject::invokeMethod(
        this,
        [&] {
            QMessageBox box(QMessageBox::Question, tr("Copy Files"), text.arg(QString::fromStdString(discPath)),
                            QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll |
                                QMessageBox::Cancel,
                            progress_ ? static_cast<QWidget*>(progress_.data()) : &window_);
            box.setObjectName(name);
            box.setDefaultButton(QMessageBox::Yes);
            switch (box.exec()) {
                case QMessageBox::Yes: answer = app::CopyAnswer::kYes; break;
                case QMessageBox::YesToAll: answer = app::CopyAnswer::kYesToAll; break;
                case QMessageBox::No: answer = app::CopyAnswer::kNo; break;
                case QMessageBox::NoToAll: answer = app::CopyAnswer::kNoToAll; break;
                default: answer = app::CopyAnswer::kCancel; break;
            }
        },
        Qt::BlockingQueuedConnection);
    return answer;
}

void CopyCommand::Cancel() {
    if (!running_) return;
    job_.Cancel();
    // A read the drive retries stops too.
    if (device::CDDevice* drive = scan::SelectedDevice()) drive->SetAbortFlag();
    if (progress_) progress_->ShowCancelling();
}

void CopyCommand::Poll() {
    if (progress_) progress_->Show(job_.Progress());
    if (job_.Finished()) Finish();
}

void CopyCommand::Finish() {
    timer_->stop();
    job_.Join();
    source_.reset();
    questions_.reset();
    running_ = false;
    LockCommands(false);
    if (progress_) {
        progress_->Show(job_.Progress());
        progress_->close();
    }
    summary_ = new CopySummaryDialog(&window_, job_.Summary());
    summary_->setAttribute(Qt::WA_DeleteOnClose);
    summary_->show();
    emit finished();
}

void CopyCommand::LockCommands(bool lock) {
    if (lock) {
        lockedActions_.clear();
        for (int id : kLockedCommands) {
            QList<QAction*> actions = window_.CommandActions(id);
            if (QAction* button = window_.ToolbarAction(id)) actions.append(button);
            for (QAction* action : actions) {
                lockedActions_.emplace_back(action, action->isEnabled());
                action->setEnabled(false);
            }
        }
        return;
    }
    for (auto& [object, enabled] : lockedActions_)
        if (auto* action = qobject_cast<QAction*>(object.data())) action->setEnabled(enabled);
    lockedActions_.clear();
}

}  // namespace dravik::shell
