#include "program/shell/copy_summary_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "program/app/copy_list.h"

namespace dravik::shell {

namespace {

SavePathChooser& SaveChooser() {
    static SavePathChooser chooser;
    return chooser;
}

}  // namespace

void SetSavePathChooser(SavePathChooser chooser) { SaveChooser() = std::move(chooser); }

QString ChooseSavePath(QWidget* owner, const QString& title, const QString& suggested) {
    if (SaveChooser()) return SaveChooser()(owner, title, suggested);
    return QFileDialog::getSaveFileName(owner, title, QDir::home().filePath(suggested));
}

bool WriteTextFile(const QString& path, const QByteArray& text, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

CopySummaryDialog::CopySummaryDialog(QWidget* owner, const extract::ExtractSummary& summary)
    : QDialog(owner), text_(QString::fromStdString(app::CopyListText(summary))) {
    setObjectName(QStringLiteral("CopySummary"));
    setWindowTitle(tr("Copy Finished"));
    auto* layout = new QVBoxLayout(this);
    headline_ = new QLabel(QString::fromStdString(app::CopyHeadline(summary)), this);
    headline_->setObjectName(QStringLiteral("headline"));
    list_ = new QPlainTextEdit(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setReadOnly(true);
    list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The headline stands above; the list starts with the files.
    list_->setPlainText(text_.section(QLatin1Char('\n'), 1));
    list_->setMinimumSize(560, 240);
    save_ = new QPushButton(tr("Save list..."), this);
    save_->setObjectName(QStringLiteral("save"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setDefault(true);
    layout->addWidget(headline_);
    layout->addWidget(list_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = ChooseSavePath(this, tr("Save list"), QStringLiteral("copied files.txt"));
        if (!path.isEmpty()) SaveList(path);
    });
}

bool CopySummaryDialog::SaveList(const QString& path) {
    QString error;
    if (WriteTextFile(path, text_.toUtf8(), error)) return true;
    QMessageBox::warning(this, windowTitle(), tr("The list cannot be written to %1: %2").arg(path, error));
    return false;
}

}  // namespace dravik::shell
