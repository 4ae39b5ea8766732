#include "program/shell/about_box.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "device/cddevice/cddevice.h"
#include "program/app/drive_selection.h"
#include "program/app/results_advice.h"
#include "program/diag/data_files.h"
#include "program/diag/debug_log.h"
#include "program/diag/program_version.h"
#include "program/scan/scan_device.h"
#include "program/shell/form_loader.h"
#include "program/shell/help_pages.h"
#include "program/shell/language_text.h"

namespace dravik::shell {

namespace {

constexpr unsigned kVersionText = 122;
// The grey area that stands in for a missing picture.
constexpr QSize kNoPictureSize(360, 140);

QString& SplashPictureOverride() {
    static QString path;
    return path;
}

QPointer<AboutBox> g_splash;

device::CDDevice* VersionDevice() {
    if (device::CDDevice* selected = scan::SelectedDevice()) return selected;
    const auto& devices = app::DeviceList();
    return devices.empty() ? nullptr : devices.front().get();
}

QPixmap GreyPicture() {
    QPixmap grey(kNoPictureSize);
    grey.fill(QColor(0x80, 0x80, 0x80));
    return grey;
}

// Replaces the first "%s" of `format` with `value`.
QString FillFirst(QString format, const QString& value) {
    const qsizetype at = format.indexOf(QLatin1String("%s"));
    if (at >= 0) format.replace(at, 2, value);
    return format;
}

}  // namespace

QString SplashPicturePath() {
    if (!SplashPictureOverride().isEmpty()) return SplashPictureOverride();
    // Beside the program: its own file name with ".sph" appended;
    // installed, the same name in share/dravik.
    QString program = QString::fromStdString(diag::ProgramPath());
    if (program.isEmpty()) program = QApplication::applicationFilePath();
    const std::string name = QFileInfo(program).fileName().toStdString() + ".sph";
    return QString::fromStdString(diag::FindDataFile(name, name));
}

void SetSplashPicturePath(const QString& path) { SplashPictureOverride() = path; }

QString AboutVersionText() {
    std::string program;
    diag::ProgramVersion(program);
    QString format = LanguageText(kVersionText);
    if (format.isEmpty()) format = QStringLiteral("Version %s\nDevice library interface %s");
    device::CDDevice* device = VersionDevice();
    if (!device) return FillFirst(format.section(QLatin1Char('\n'), 0, 0), QString::fromStdString(program));
    const QString library = QString::fromUtf8(device->GetIntfVersion());
    return FillFirst(FillFirst(format, QString::fromStdString(program)), library);
}

QString SupportMailAddress() {
    std::string address = app::ReadContactSetting("SupportEmail");
    if (address.empty()) address = app::kDefaultSupportEmail;
    return QString::fromStdString(address);
}

AboutBox::AboutBox(QWidget* owner, AboutMode mode) : mode_(mode) {
    std::unique_ptr<QWidget> form = LoadForm("ABOUT", mode == AboutMode::kModal ? owner : nullptr);
    dialog_ = qobject_cast<QDialog*>(form.get());
    if (!dialog_) throw FormError("the dialog layout ABOUT is not a dialog");
    picture_ = FormControl<QLabel>(dialog_, QStringLiteral("picture"));
    title_ = FormControl<QLabel>(dialog_, 0xFFFF);
    version_ = FormControl<QLabel>(dialog_, 102);
    auto* ok = FormControl<QPushButton>(dialog_, 1);
    support_ = FormControl<QPushButton>(dialog_, 1103);
    form.release();
    setParent(dialog_);

    const QString product = QString::fromLatin1(app::kProductName);
    dialog_->setWindowTitle(product);
    dialog_->setWindowIcon(QApplication::windowIcon());
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    title_->setText(FillFirst(title_->text(), product));
    version_->setText(AboutVersionText());

    // Only on displays with more than 16 colours: fewer make a poor picture.
    QImage image;
    if (QApplication::primaryScreen() == nullptr || QApplication::primaryScreen()->depth() > 4) {
        QImageReader reader(SplashPicturePath());
        reader.setDecideFormatFromContent(true);
        image = reader.read();
    }
    hasPicture_ = !image.isNull();
    picture_->setPixmap(hasPicture_ ? QPixmap::fromImage(image) : GreyPicture());

    connect(ok, &QPushButton::clicked, dialog_, &QDialog::accept);
    ok->setDefault(true);
    connect(support_, &QPushButton::clicked, this, [] {
        OpenUrl(QUrl(QStringLiteral("mailto:") + SupportMailAddress() +
                     QStringLiteral("?subject=Pellor Dravik Support")));
    });

    if (mode == AboutMode::kSplash) {
        dialog_->setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
        dialog_->setModal(false);
        // A click anywhere on it, also on its labels, closes it.
        dialog_->installEventFilter(this);
        for (QWidget* child : dialog_->findChildren<QWidget*>()) child->installEventFilter(this);
        QTimer::singleShot(kSplashMilliseconds, Qt::PreciseTimer, dialog_, [this] { dialog_->close(); });
    }
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (mode_ == AboutMode::kSplash && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton) {
            dialog_->close();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

AboutBox* ShowSplash() {
    try {
        auto* splash = new AboutBox(nullptr, AboutMode::kSplash);
        QDialog* dialog = splash->Dialog();
        dialog->adjustSize();
        if (QScreen* screen = QApplication::primaryScreen()) {
            QRect place = dialog->frameGeometry();
            place.moveCenter(screen->availableGeometry().center());
            dialog->move(place.topLeft());
        }
        dialog->show();
        g_splash = splash;
        return splash;
    } catch (const FormError& error) {
        if (diag::DebugMode) diag::DebugPrint("The splash cannot be shown: %s", error.what());
        return nullptr;
    }
}

// Closed means hidden: the dialog itself goes once the event loop deletes it.
AboutBox* OpenSplash() {
    return g_splash && g_splash->Dialog() && g_splash->Dialog()->isVisible() ? g_splash.data() : nullptr;
}

void CloseSplash() {
    if (g_splash && g_splash->Dialog()) g_splash->Dialog()->close();
}

void WaitForSplash() {
    if (!OpenSplash()) return;
    QEventLoop loop;
    QObject::connect(g_splash->Dialog(), &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(g_splash->Dialog(), &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

void LogVersionLine() {
    std::string program;
    diag::ProgramVersion(program);
    device::CDDevice* device = VersionDevice();
    diag::DebugPrint("Dravik version: %s, %s", program.c_str(), device ? device->GetIntfVersion() : "");
}

void RunAboutBox(QWidget* owner) {
    try {
        auto* about = new AboutBox(owner, AboutMode::kModal);
        QPointer<QDialog> dialog = about->Dialog();
        dialog->exec();
    } catch (const FormError& error) {
        if (diag::DebugMode) diag::DebugPrint("The about box cannot be shown: %s", error.what());
    }
}

}  // namespace dravik::shell
