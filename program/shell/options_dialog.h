// The options dialog (language-module dialog 136): works on a copy of the
// settings block, shows it in ten check boxes, and on OK copies it back,
// tells the selected drive and stores it.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "program/settings/settings.h"

class QCheckBox;
class QDialog;
class QLabel;
class QWidget;

namespace dravik::shell {

// The settings block as the dialog edits it, with debug mode, which lives
// in the debug log's switches.
struct OptionsCopy {
    settings::Settings block;
    bool debugMode = false;
};

// Control numbers of the dialog.
constexpr int kRemoveVersionBox = 1003;
constexpr int kIgnoreJolietBox = 1004;
constexpr int kCopyPromptBox = 1023;
constexpr int kSavePosBox = 1048;
constexpr int kSortInitialBox = 1051;
constexpr int kAcceptErrorsBox = 1055;
constexpr int kIntensiveScanBox = 1089;
constexpr int kKeepUdfDupsBox = 1096;
constexpr int kAutoStartBox = 1123;
constexpr int kShowAllBox = 1126;
constexpr int kDebugModeButton = 1030;
constexpr int kOptionsNote = 1031;
constexpr int kResetGuidanceButton = 1118;
constexpr int kDefaultsButton = 1119;
constexpr int kHelpButton = 9;

// The context-help topic of a control of the dialog; 0 for none.
int OptionsHelpTopic(int control);

class OptionsDialog : public QObject {
    Q_OBJECT
public:
    // Loads the form (FormError when the module lacks it or a control)
    // and fills it from the program's settings.
    explicit OptionsDialog(QWidget* owner);
    ~OptionsDialog() override;

    // Modal; returns 1 (OK, settings applied) or 0.
    int Exec();
    QDialog* Dialog() const;
    const OptionsCopy& Copy() const { return copy_; }

    // The switch behind a check box.
    static std::uint8_t settings::Settings::*SwitchOf(int control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowCopy();
    void ReadBoxes();
    void Accept();
    void ToggleDebugMode();
    void ResetGuidance();
    void RestoreDefaults();
    void InstallContextHelp();

    std::unique_ptr<QWidget> form_;
    OptionsCopy copy_;
    QLabel* note_ = nullptr;
};

// Copies `copy` into the program's settings, tells the selected drive,
// writes the settings; the caller repaints and refreshes the status bar.
void ApplyOptions(const OptionsCopy& copy);

}  // namespace dravik::shell
