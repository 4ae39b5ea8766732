#include "program/scan/scan_device.h"
#include "program/shell/select_drive_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "device/cddevice/cddevice.h"
#include "program/messages/show_message.h"
#include "program/app/drive_selection.h"
#include "program/shell/form_loader.h"
#include "program/shell/help_pages.h"
#include "program/app/scan_launch.h"

namespace dravik::shell {

namespace {

constexpr unsigned kNoDrives = 103;
constexpr int kDriveHelpTopic = 4;
constexpr int kDeviceRole = Qt::UserRole;

QString ImageFilter() {
    return QObject::tr("Disc images (*.iso *.cue *.ccd *.vdisc);;All files (*)");
}

ImagePathChooser& Chooser() {
    static ImagePathChooser chooser = [](QWidget* owner) {
        return QFileDialog::getOpenFileName(owner, QObject::tr("Open Disc Image"), QString(), ImageFilter());
    };
    return chooser;
}

device::CDDevice* DeviceOfLine(const QListWidgetItem* line) {
    return line ? static_cast<device::CDDevice*>(line->data(kDeviceRole).value<void*>()) : nullptr;
}

}  // namespace

void SetImagePathChooser(ImagePathChooser chooser) { Chooser() = std::move(chooser); }
QString ChooseImagePath(QWidget* owner) { return Chooser() ? Chooser()(owner) : QString(); }

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
    return QString::fromUtf8(device.GetDeviceId()) + QStringLiteral("  ") + QString::fromUtf8(device.GetDeviceName());
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
    if (!device || device->CheckDevice(true)) return;
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
    if (!device) return;
    int row = -1;
    for (int i = 0; i < lines_->count(); ++i)
        if (DeviceOfLine(lines_->item(i)) == device) row = i;
    if (row < 0) row = AddLine(device);
    // Selecting it runs the readiness check like a click would.
    lines_->setCurrentRow(row);
    lines_->scrollToItem(lines_->item(row));
}

}  // namespace dravik::shell
