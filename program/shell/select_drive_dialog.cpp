#include "program/scan/scan_device.h"
#include "program/shell/select_drive_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "device/cddevice/cddevice.h"
#include "program/messages/show_message.h"
#include "program/app/drive_selection.h"
#include "program/app/recent_images.h"
#include "program/app/settings_store.h"
#include "program/shell/form_loader.h"
#include "program/shell/help_pages.h"
#include "program/app/scan_launch.h"

namespace dravik::shell {

namespace {

constexpr unsigned kNoDrives = 103;
constexpr int kDriveHelpTopic = 4;
constexpr int kDeviceRole = Qt::UserRole;
// The id of a refused drive's line.
constexpr int kRefusedRole = Qt::UserRole + 1;

// Where the open-image dialog was last left, kept between runs.
constexpr char kImageFolderValue[] = "ImageFolder";

ImagePathChooser& ImageChooser() {
    static ImagePathChooser chooser = [](QWidget* owner) {
        const QString folder = QString::fromStdString(app::ReadProgramString(kImageFolderValue, ""));
        const QString path = QFileDialog::getOpenFileName(owner, QObject::tr("Open Disc Image"), folder, ImageFilter());
        if (!path.isEmpty())
            app::WriteProgramString(kImageFolderValue, QFileInfo(path).absolutePath().toStdString());
        return path;
    };
    return chooser;
}

device::CDDevice* DeviceOfLine(const QListWidgetItem* line) {
    return line ? static_cast<device::CDDevice*>(line->data(kDeviceRole).value<void*>()) : nullptr;
}

}  // namespace

QString ImageFilter() {
    QStringList patterns;
    for (const char* extension : kImageExtensions) {
        const QString lower = QString::fromLatin1(extension);
        patterns << QStringLiteral("*.") + lower << QStringLiteral("*.") + lower.toUpper();
    }
    return QObject::tr("Disc images (%1);;All files (*)").arg(patterns.join(QLatin1Char(' ')));
}

void SetImagePathChooser(ImagePathChooser chooser) { ImageChooser() = std::move(chooser); }
QString ChooseImagePath(QWidget* owner) { return ImageChooser() ? ImageChooser()(owner) : QString(); }

device::CDDevice* OpenImageDrive(const QString& path, QWidget* owner) {
    std::string error;
    const std::string file = path.toStdString();
    device::CDDevice* device = app::AddImageDrive(file, error);
    if (device) return device;
    if (owner)
        messages::ShowMessageOwned(owner, static_cast<int>(app::kImageNotUsable), file.c_str(), error.c_str());
    else
        messages::ShowMessage(static_cast<int>(app::kImageNotUsable), file.c_str(), error.c_str());
    return nullptr;
}

QString DriveLine(device::CDDevice& device) {
    QString line = QString::fromUtf8(device.GetDeviceId()) + QStringLiteral("  ") + QString::fromUtf8(device.GetDeviceName());
    // A virtual drive says which image it holds.
    const std::string image = app::ImagePathOfDrive(device);
    if (!image.empty()) line += QStringLiteral("  (") + QFileInfo(QString::fromStdString(image)).fileName() + QLatin1Char(')');
    return line;
}

QString RefusedDriveLine(const app::RefusedDrive& drive) {
    QString name = QString::fromStdString(drive.name);
    if (name.contains(QLatin1Char('/'))) name = QFileInfo(name).fileName();
    return QString::fromStdString(drive.id) + QStringLiteral("  ") + name + QStringLiteral("  - refused: ") +
           QString::fromStdString(drive.reason);
}

SelectDriveDialog::SelectDriveDialog(QWidget* owner) : form_(LoadForm("SelectDrive", owner)) {
    QDialog* dialog = Dialog();
    if (!dialog) throw FormError("the dialog layout SelectDrive is not a dialog");
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowIcon(owner ? owner->windowIcon() : QApplication::windowIcon());
    lines_ = FormControl<QListWidget>(dialog, kDriveListControl);
    lines_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* ok = FormControl<QPushButton>(dialog, 1);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { Confirm(); });
    connect(FormControl<QPushButton>(dialog, 2), &QPushButton::clicked, dialog, [dialog] { dialog->done(0); });
    connect(FormControl<QPushButton>(dialog, 9), &QPushButton::clicked, this,
            [] { OpenHelpTopic(kDriveHelpTopic); });
    connect(FormControl<QPushButton>(dialog, kOpenImageCommand), &QPushButton::clicked, this,
            [this] { OpenImage(); });
    connect(lines_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
    connect(lines_, &QListWidget::itemDoubleClicked, this, [this] { Confirm(); });
    Fill();
}

SelectDriveDialog::~SelectDriveDialog() = default;

QDialog* SelectDriveDialog::Dialog() const { return qobject_cast<QDialog*>(form_.get()); }

int SelectDriveDialog::AddLine(device::CDDevice* device) {
    auto* line = new QListWidgetItem(DriveLine(*device), lines_);
    line->setData(kDeviceRole, QVariant::fromValue(static_cast<void*>(device)));
    return lines_->row(line);
}

void SelectDriveDialog::Fill() {
    // Marking the drive in use is no choice: no readiness check for it.
    const QSignalBlocker quiet(lines_);
    for (const auto& device : app::DeviceList()) {
        const int row = AddLine(device.get());
        if (device.get() == scan::SelectedDevice()) lines_->setCurrentRow(row);
    }
    AddRefusedLines();
}

void SelectDriveDialog::AddRefusedLines() {
    // Drives the device check refused: shown grayed, with the reason, so a
    // refused image does not look like a working drive.
    for (const app::RefusedDrive& drive : app::RefusedDrives()) {
        bool listed = false;
        for (int row = 0; row < lines_->count(); ++row)
            if (lines_->item(row)->data(kRefusedRole).toString() == QString::fromStdString(drive.id)) listed = true;
        if (listed) continue;
        auto* line = new QListWidgetItem(RefusedDriveLine(drive), lines_);
        line->setData(kRefusedRole, QString::fromStdString(drive.id));
        line->setFlags(line->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        line->setToolTip(QString::fromStdString(drive.reason));
    }
}

int SelectDriveDialog::Exec() {
    if (lines_->count() == 0) {
        messages::ShowMessage(static_cast<int>(kNoDrives));
        return 0;
    }
    return Dialog()->exec() == 1 ? 1 : 0;
}

void SelectDriveDialog::SelectionChanged() {
    const QList<QListWidgetItem*> chosen = lines_->selectedItems();
    if (chosen.isEmpty()) return;
    device::CDDevice* device = DeviceOfLine(chosen.front());
    // A drive whose disc is still spinning up is taken: the scan waits.
    std::string reason;
    if (!device || app::CheckDriveReadiness(*device, &reason) != app::DriveReadiness::kRefused) return;
    // The line says why it cannot be chosen.
    chosen.front()->setText(DriveLine(*device) + QStringLiteral("  - refused: ") + QString::fromStdString(reason));
    chosen.front()->setToolTip(QString::fromStdString(reason));
    messages::ShowMessageOwned(Dialog(), static_cast<int>(app::kDriveNotUsable), device->GetDeviceName());
    const QSignalBlocker quiet(lines_);
    lines_->clearSelection();
    lines_->setCurrentRow(-1);
}

void SelectDriveDialog::Confirm() {
    const QList<QListWidgetItem*> chosen = lines_->selectedItems();
    device::CDDevice* device = chosen.isEmpty() ? nullptr : DeviceOfLine(chosen.front());
    if (!device) {
        messages::ShowMessageOwned(Dialog(), static_cast<int>(app::kNoDriveSelected));
        return;
    }
    app::ChooseDevice(device);
    Dialog()->done(1);
}

void SelectDriveDialog::OpenImage() {
    const QString path = ChooseImagePath(Dialog());
    if (path.isEmpty()) return;
    device::CDDevice* device = OpenImageDrive(path, Dialog());
    if (!device) {
        AddRefusedLines();
        return;
    }
    app::RememberImage(path.toStdString());
    int row = -1;
    for (int i = 0; i < lines_->count(); ++i)
        if (DeviceOfLine(lines_->item(i)) == device) row = i;
    if (row < 0) row = AddLine(device);
    // Selecting it runs the readiness check like a click would.
    lines_->setCurrentRow(row);
    lines_->scrollToItem(lines_->item(row));
}

}  // namespace dravik::shell
