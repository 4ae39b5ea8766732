#include "program/shell/disc_info_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "program/app/scan_report.h"
#include "program/scan/scan_device.h"
#include "program/scan/track_list.h"
#include "program/shell/copy_progress_dialog.h"
#include "program/shell/copy_summary_dialog.h"
#include "program/shell/main_window.h"

namespace dravik::shell {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString DriveText(const app::DriveFacts& drive) {
    if (!drive.present) return QObject::tr("Drive: none selected");
    return QObject::tr("Drive: %1, firmware %2, speed method %3, buffer %4")
        .arg(Text(drive.name), drive.firmware.empty() ? QObject::tr("unknown") : Text(drive.firmware),
             Text(drive.speedMethod),
             drive.bufferKb > 0 ? QObject::tr("%1 KB").arg(drive.bufferKb) : QObject::tr("unknown"));
}

QString MediumText(const app::MediumFacts& medium) {
    QString text = QObject::tr("Medium: %1, %2 session(s), %3")
                       .arg(medium.kind.empty() ? QObject::tr("unknown") : Text(medium.kind))
                       .arg(medium.sessions)
                       .arg(medium.finalized ? QObject::tr("finalized") : QObject::tr("appendable"));
    if (medium.nextWritable >= 0) text += QObject::tr(", next writable address %1").arg(medium.nextWritable);
    return text;
}

}  // namespace

DiscInfoWindow::DiscInfoWindow(QWidget* owner, app::DiscReport report) : QDialog(owner), report_(std::move(report)) {
    setObjectName(QStringLiteral("DiscInformation"));
    setWindowTitle(tr("Disc Information"));
    auto* layout = new QVBoxLayout(this);
    drive_ = new QLabel(DriveText(report_.drive), this);
    drive_->setObjectName(QStringLiteral("drive"));
    drive_->setTextFormat(Qt::PlainText);
    medium_ = new QLabel(MediumText(report_.medium), this);
    medium_->setObjectName(QStringLiteral("medium"));
    medium_->setTextFormat(Qt::PlainText);
    tracks_ = new QTableWidget(static_cast<int>(report_.tracks.size()), kColumns, this);
    tracks_->setObjectName(QStringLiteral("tracks"));
    tracks_->setHorizontalHeaderLabels({tr("Track"), tr("Session"), tr("Start"), tr("End"), tr("Mode"), tr("Control"),
                                        tr("Flags"), tr("File system"), tr("Volume"), tr("Files"), tr("Bytes"),
                                        tr("VAT (fallbacks)")});
    tracks_->verticalHeader()->hide();
    tracks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tracks_->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < static_cast<int>(report_.tracks.size()); ++row) {
        const app::TrackFacts& t = report_.tracks[static_cast<std::size_t>(row)];
        const bool leadOut = t.number == scan::kLeadOutNumber;
        const QString cells[kColumns] = {
            leadOut ? tr("Lead-out") : QString::number(t.number),
            QString::number(t.session),
            QString::number(t.start),
            leadOut ? QString() : QString::number(t.end),
            Text(t.mode),
            QStringLiteral("0x%1").arg(t.control, 2, 16, QLatin1Char('0')),
            Text(t.flags),
            Text(t.fileSystem),
            Text(t.volume),
            t.volume.empty() ? QString() : QString::number(t.files),
            t.volume.empty() ? QString() : GroupedNumber(t.bytes),
            t.vatBlock || t.vatFallbacks ? QStringLiteral("%1 (%2)").arg(t.vatBlock).arg(t.vatFallbacks) : QString(),
        };
        for (int column = 0; column < kColumns; ++column) {
            auto* cell = new QTableWidgetItem(cells[column]);
            if (column <= kEnd || column == kFiles || column == kBytes)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tracks_->setItem(row, column, cell);
        }
    }
    tracks_->resizeColumnsToContents();
    tracks_->setMinimumSize(760, 160);
    save_ = new QPushButton(tr("Save Report..."), this);
    save_->setObjectName(QStringLiteral("save"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setDefault(true);
    layout->addWidget(drive_);
    layout->addWidget(medium_);
    layout->addWidget(tracks_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = ChooseSavePath(this, tr("Save Report"), QStringLiteral("disc report.json"));
        if (!path.isEmpty()) SaveReport(path);
    });
}

bool DiscInfoWindow::SaveReport(const QString& path) {
    const std::string text = path.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive) ? app::DiscReportText(report_)
                                                                                         : app::ScanReportJson();
    QString error;
    if (WriteTextFile(path, QByteArray::fromStdString(text), error)) return true;
    QMessageBox::warning(this, windowTitle(), tr("The report cannot be written to %1: %2").arg(path, error));
    return false;
}

void ShowDiscInformation(MainWindow& window) {
    auto* info = new DiscInfoWindow(&window, app::BuildDiscReport(scan::SelectedDevice()));
    info->setAttribute(Qt::WA_DeleteOnClose);
    info->show();
}

}  // namespace dravik::shell
