#include "program/shell/copy_progress_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace dravik::shell {

namespace {

// The bar runs in thousandths of the bytes, so huge copies fit an int.
constexpr int kBarSteps = 1000;

}  // namespace

QString GroupedNumber(std::uint64_t value) {
    QString digits = QString::number(value);
    for (int at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
    return digits;
}

CopyProgressDialog::CopyProgressDialog(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("CopyProgress"));
    setWindowTitle(tr("Copying Files"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    file_ = new QLabel(this);
    file_->setObjectName(QStringLiteral("file"));
    file_->setTextFormat(Qt::PlainText);
    file_->setMinimumWidth(420);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));
    bar_ = new QProgressBar(this);
    bar_->setRange(0, kBarSteps);
    bar_->setTextVisible(false);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    layout->addWidget(file_);
    layout->addWidget(count_);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    connect(cancel_, &QPushButton::clicked, this, [this] { emit cancelRequested(); });
    Show({});
}

void CopyProgressDialog::Show(const app::CopyProgress& progress) {
    if (cancel_->isEnabled())
        file_->setText(progress.currentFile.empty() ? QString() : tr("Copying %1").arg(QString::fromStdString(progress.currentFile)));
    count_->setText(tr("%1 of %2 files, %3 of %4 bytes")
                        .arg(progress.filesDone)
                        .arg(progress.filesTotal)
                        .arg(GroupedNumber(progress.bytesDone), GroupedNumber(progress.bytesTotal)));
    const std::uint64_t total = progress.bytesTotal ? progress.bytesTotal : 1;
    const std::uint64_t done = progress.bytesDone > total ? total : progress.bytesDone;
    bar_->setValue(static_cast<int>(done * kBarSteps / total));
}

void CopyProgressDialog::ShowCancelling() {
    cancel_->setEnabled(false);
    file_->setText(tr("Stopping after removing the file being written..."));
}

void CopyProgressDialog::reject() { emit cancelRequested(); }

}  // namespace dravik::shell
