#include "program/scan/scan_device.h"
#include "program/shell/options_dialog.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QWhatsThis>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/shell/language_text.h"
#include "program/messages/show_message.h"
#include "program/shell/form_loader.h"
#include "program/shell/help_pages.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"

namespace dravik::shell {

namespace {

using settings::Settings;

constexpr unsigned kDebugOnText = 151;
constexpr unsigned kDebugOffText = 152;
constexpr unsigned kGuidanceResetText = 236;
constexpr unsigned kAcceptErrorsWarning = 224;
constexpr int kOptionsHelpTopic = 1;
// Where a control's explanation comes from in the context-help file.
constexpr struct {
    int control;
    int topic;
} kContextTopics[] = {
    {1003, 101}, {1004, 102}, {1048, 105}, {1051, 106}, {1055, 108}, {1023, 109},
    {1089, 110}, {1096, 111}, {1118, 113}, {1123, 114}, {1126, 115}, {1119, 116},
};
constexpr int kBoxes[] = {kRemoveVersionBox, kIgnoreJolietBox, kCopyPromptBox, kSavePosBox,    kSortInitialBox,
                          kAcceptErrorsBox,  kIntensiveScanBox, kKeepUdfDupsBox, kAutoStartBox, kShowAllBox};


}  // namespace

int OptionsHelpTopic(int control) {
    for (const auto& entry : kContextTopics)
        if (entry.control == control) return entry.topic;
    return 0;
}

std::uint8_t Settings::*OptionsDialog::SwitchOf(int control) {
    switch (control) {
        case kRemoveVersionBox: return &Settings::RemoveVersion;
        case kIgnoreJolietBox: return &Settings::IgnoreJoliet;
        case kCopyPromptBox: return &Settings::CopyPrompt;
        case kSavePosBox: return &Settings::SavePos;
        case kSortInitialBox: return &Settings::SortInitial;
        case kAcceptErrorsBox: return &Settings::AcceptErrors;
        case kIntensiveScanBox: return &Settings::IntensiveScan;
        case kKeepUdfDupsBox: return &Settings::KeepUDFDups;
        case kAutoStartBox: return &Settings::AutoStart;
        case kShowAllBox: return &Settings::ShowAll;
        default: return nullptr;
    }
}

OptionsDialog::OptionsDialog(QWidget* owner) : form_(LoadForm("136", owner)) {
    copy_.block = settings::ProgramSettings;
    copy_.debugMode = diag::DebugMode;
    QDialog* dialog = Dialog();
    if (!dialog) throw FormError("the dialog layout 136 is not a dialog");
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowIcon(owner ? owner->windowIcon() : QIcon());
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    note_ = FormControl<QLabel>(dialog, kOptionsNote);
    for (int box : kBoxes) FormControl<QCheckBox>(dialog, box);
    connect(FormControl<QPushButton>(dialog, kDebugModeButton), &QPushButton::clicked, this,
            [this] { ToggleDebugMode(); });
    connect(FormControl<QPushButton>(dialog, kResetGuidanceButton), &QPushButton::clicked, this,
            [this] { ResetGuidance(); });
    connect(FormControl<QPushButton>(dialog, kDefaultsButton), &QPushButton::clicked, this,
            [this] { RestoreDefaults(); });
    connect(FormControl<QPushButton>(dialog, kHelpButton), &QPushButton::clicked, this,
            [] { OpenHelpTopic(kOptionsHelpTopic); });
    auto* ok = FormControl<QPushButton>(dialog, 1);
    auto* cancel = FormControl<QPushButton>(dialog, 2);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { Accept(); });
    connect(cancel, &QPushButton::clicked, dialog, [dialog] { dialog->done(0); });
    ShowCopy();
    InstallContextHelp();
    dialog->adjustSize();
    if (owner) {
        // Centred over the owner.
        const QRect area = owner->frameGeometry();
        const QSize size = dialog->frameGeometry().size();
        dialog->move(area.left() + (area.width() - size.width() + 1) / 2,
                     area.top() + (area.height() - size.height() + 1) / 2);
    }
}

OptionsDialog::~OptionsDialog() = default;

QDialog* OptionsDialog::Dialog() const { return qobject_cast<QDialog*>(form_.get()); }

int OptionsDialog::Exec() {
    const int result = Dialog()->exec();
    return result == 1 ? 1 : 0;
}

void OptionsDialog::ShowCopy() {
    for (int box : kBoxes) FormControl<QCheckBox>(Dialog(), box)->setChecked(copy_.block.*SwitchOf(box) != 0);
}

void OptionsDialog::ReadBoxes() {
    for (int box : kBoxes) copy_.block.*SwitchOf(box) = FormControl<QCheckBox>(Dialog(), box)->isChecked() ? 1 : 0;
}

void OptionsDialog::ToggleDebugMode() {
    copy_.debugMode = !copy_.debugMode;
    note_->setText(LanguageText(copy_.debugMode ? kDebugOnText : kDebugOffText));
}

void OptionsDialog::ResetGuidance() {
    for (std::uint8_t& answer : copy_.block.GuideUser) answer = 0;
    note_->setText(LanguageText(kGuidanceResetText));
}

void OptionsDialog::RestoreDefaults() {
    Settings& block = copy_.block;
    block.IgnoreJoliet = block.CopyPrompt = block.AcceptErrors = block.IgnoreChecksums = block.ShowAll =
        block.KeepUDFDups = 0;
    block.SavePos = block.AutoStart = block.RemoveVersion = block.SortInitial = 1;
    // The intensive search and debug mode stay as they are; the boxes show
    // the copy again, so a box the user ticked without OK is reset too.
    ShowCopy();
}

void OptionsDialog::Accept() {
    QDialog* dialog = Dialog();
    if (!copy_.block.AcceptErrors && FormControl<QCheckBox>(dialog, kAcceptErrorsBox)->isChecked())
        messages::ShowMessageOwned(dialog, static_cast<int>(kAcceptErrorsWarning));
    ReadBoxes();
    dialog->done(1);
    ApplyOptions(copy_);
}

void OptionsDialog::InstallContextHelp() {
    const QHash<int, QString> topics =
        ReadContextHelp(ContextHelpPath(QString::fromStdString(messages::MessageLanguage().LanguageCode())));
    for (const auto& entry : kContextTopics) {
        QWidget* control = FormControl<QWidget>(Dialog(), entry.control);
        control->setWhatsThis(topics.value(entry.topic));
        control->setContextMenuPolicy(Qt::DefaultContextMenu);
        control->installEventFilter(this);
    }
    // F1 explains the control that has the focus.
    auto* explain = new QShortcut(QKeySequence(Qt::Key_F1), Dialog());
    explain->setContext(Qt::WindowShortcut);
    connect(explain, &QShortcut::activated, this, [this] {
        QWidget* focus = Dialog()->focusWidget();
        if (focus && !focus->whatsThis().isEmpty())
            QWhatsThis::showText(focus->mapToGlobal(focus->rect().center()), focus->whatsThis(), focus);
    });
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu) {
        auto* control = qobject_cast<QWidget*>(watched);
        if (control && !control->whatsThis().isEmpty()) {
            QWhatsThis::showText(static_cast<QContextMenuEvent*>(event)->globalPos(), control->whatsThis(), control);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ApplyOptions(const OptionsCopy& copy) {
    settings::ProgramSettings = copy.block;
    diag::DebugMode = copy.debugMode;
    if (device::CDDevice* device = scan::SelectedDevice()) {
        device->SetPromptSuppress(settings::ProgramSettings.PromptSuppress != 0);
        device->SetDebugLevel(diag::DebugMode ? 1 : diag::LogWriteThrough ? 2 : 0);
    }
    app::WriteSettings();
}

}  // namespace dravik::shell
