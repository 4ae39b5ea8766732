#include "program/shell/qt_shell_port.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

#include "program/diag/debug_log.h"
#include "program/shell/form_loader.h"
#include "program/shell/main_window.h"
#include "program/shell/message_box.h"
#include "program/shell/progress_dialog.h"

namespace dravik::shell {

namespace {

// The first desktop sound player found; started detached so the dialog
// does not wait for the sound.
void PlayWithDesktopPlayer(const std::string& path) {
    for (const char* player : {"pw-play", "paplay", "aplay"}) {
        QString program = QStandardPaths::findExecutable(QString::fromLatin1(player));
        if (program.isEmpty()) continue;
        QStringList arguments;
        if (QString::fromLatin1(player) == QStringLiteral("aplay")) arguments << QStringLiteral("-q");
        arguments << QString::fromStdString(path);
        if (QProcess::startDetached(program, arguments)) return;
    }
    if (diag::DebugMode) diag::DebugPrint("No sound player found for %s", path.c_str());
}

void ReportFormError(const FormError& error) {
    std::fprintf(stderr, "dravik: %s\n", error.what());
    if (diag::DebugMode) diag::DebugPrint("%s", error.what());
}

}  // namespace

QtShellPort::QtShellPort() : soundPlayer_(PlayWithDesktopPlayer) {}

QtShellPort::~QtShellPort() = default;

void QtShellPort::SetMainWindow(MainWindow* window) { window_ = window; }
MainWindow* QtShellPort::Window() const { return window_.data(); }

bool QtShellPort::IsUserInterfaceThread() const { return QThread::currentThread() == thread(); }

int QtShellPort::CallOnUserInterfaceThread(const std::function<int()>& call) {
    if (IsUserInterfaceThread()) return call();
    int result = 0;
    QMetaObject::invokeMethod(
        this, [&call, &result] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
}

void QtShellPort::OnUserInterfaceThread(const std::function<void()>& work) {
    CallOnUserInterfaceThread([&work] {
        work();
        return 0;
    });
}

void QtShellPort::RunMessageDialog(port::MessageDialog& dialog, port::WindowRef owner) {
    OnUserInterfaceThread([&] {
        QWidget* parent = owner ? static_cast<QWidget*>(owner) : static_cast<QWidget*>(window_.data());
        try {
            RunMessageBox(dialog, parent);
        } catch (const FormError& error) {
            // Unanswered: the caller takes the close box's result.
            ReportFormError(error);
        }
    });
}

void QtShellPort::PlaySoundFile(const std::string& path) {
    if (soundPlayer_) soundPlayer_(path);
}

void QtShellPort::SetStatusText(int part, const std::string& text) {
    OnUserInterfaceThread([&] {
        if (window_) window_->SetStatusPart(part, QString::fromStdString(text));
    });
}

port::TreeHandle QtShellPort::InsertTreeItem(const port::TreeItemRequest& request) {
    port::TreeHandle handle = 0;
    OnUserInterfaceThread([&] {
        if (window_) handle = window_->InsertTreeItem(request);
    });
    return handle;
}

void QtShellPort::SelectTreeItem(port::TreeHandle node) {
    OnUserInterfaceThread([&] {
        if (window_) window_->SelectTreeItem(node);
    });
}

void QtShellPort::SetCaption(const std::string& caption) {
    OnUserInterfaceThread([&] {
        if (window_) window_->setWindowTitle(QString::fromStdString(caption));
    });
}

void QtShellPort::EnableCommand(int commandId, bool enabled) {
    OnUserInterfaceThread([&] {
        if (window_) window_->EnableCommand(commandId, enabled);
    });
}

void QtShellPort::EnableMainMenus(bool enabled) {
    OnUserInterfaceThread([&] {
        if (window_) window_->SwitchMainMenus(enabled);
    });
}

void QtShellPort::ClearCatalogueViews() {
    OnUserInterfaceThread([&] {
        if (window_) window_->ClearViews();
    });
}

void QtShellPort::ShowResults() {
    OnUserInterfaceThread([&] {
        if (window_) window_->ShowResults();
    });
}

bool QtShellPort::ProgressCreate(bool showBar) {
    bool created = false;
    OnUserInterfaceThread([&] {
        try {
            progress_ = std::make_unique<ScanProgressDialog>(window_.data(), showBar);
            created = true;
        } catch (const FormError& error) {
            ReportFormError(error);
        }
    });
    return created;
}

void QtShellPort::ProgressStart() {
    OnUserInterfaceThread([&] {
        if (progress_) progress_->Start();
    });
}

void QtShellPort::ProgressSetBar(int value) {
    OnUserInterfaceThread([&] {
        if (progress_) progress_->SetBar(value);
    });
}

void QtShellPort::ProgressDestroy() {
    OnUserInterfaceThread([&] { progress_.reset(); });
}

}  // namespace dravik::shell
