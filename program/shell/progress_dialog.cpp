#include "program/shell/progress_dialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>

#include "program/diag/data_files.h"
#include "program/diag/debug_log.h"
#include "program/messages/scan_progress.h"
#include "program/shell/form_loader.h"

namespace dravik::shell {

namespace {
QString& AnimationFileOverride() {
    static QString path;
    return path;
}
}  // namespace

void SetAnimationFilePath(const QString& path) { AnimationFileOverride() = path; }

QString AnimationFilePath() {
    if (!AnimationFileOverride().isEmpty()) return AnimationFileOverride();
    // Beside the program in the build tree, in share/dravik installed.
    return QString::fromStdString(diag::FindDataFile("DRAVIK.anm", "DRAVIK.anm"));
}

ScanProgressDialog::ScanProgressDialog(QWidget* owner, bool showBar) {
    std::unique_ptr<QWidget> form = LoadForm("SCANPROGRESS", owner);
    dialog_ = qobject_cast<QDialog*>(form.get());
    if (!dialog_) throw FormError("the dialog layout SCANPROGRESS is not a dialog");
    animation_ = FormControl<QLabel>(dialog_, 1116);
    bar_ = FormControl<QProgressBar>(dialog_, 200);
    auto* cancel = FormControl<QPushButton>(dialog_, 2);
    form.release();

    dialog_->setWindowIcon(QApplication::windowIcon());
    // Modeless, but the main window's menus stay out of reach: they are
    // grayed while the scan runs anyway.
    dialog_->setModal(false);
    dialog_->setWindowFlag(Qt::WindowCloseButtonHint, false);
    dialog_->installEventFilter(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setVisible(showBar);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, [] { messages::ProgressCancel(); });

    movie_ = new QMovie(AnimationFilePath(), QByteArray(), dialog_);
    if (movie_->isValid()) {
        animation_->setMovie(movie_);
    } else if (diag::DebugMode) {
        diag::DebugPrint("The progress animation %s cannot be shown", AnimationFilePath().toUtf8().constData());
    }
}

ScanProgressDialog::~ScanProgressDialog() {
    if (dialog_) {
        dialog_->removeEventFilter(this);
        delete dialog_.data();
    }
}

void ScanProgressDialog::Start() {
    if (!dialog_) return;
    dialog_->show();
    if (movie_->isValid()) {
        // Loops over all frames without end, whatever the file says.
        connect(movie_, &QMovie::finished, movie_, &QMovie::start, Qt::UniqueConnection);
        movie_->start();
    }
}

void ScanProgressDialog::SetBar(int value) {
    if (dialog_ && bar_->isVisibleTo(dialog_)) bar_->setValue(value);
}

bool ScanProgressDialog::Animating() const { return movie_ && movie_->state() == QMovie::Running; }

bool ScanProgressDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dialog_) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dravik::shell
