#include "program/scan/scan_device.h"
#include "program/shell/startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <cstdio>

#include "device/cddevice/cddevice.h"
#include "platform/drives/drive_table.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/app/command_line.h"
#include "program/app/drive_selection.h"
#include "program/shell/about_box.h"
#include "program/shell/help_pages.h"
#include "program/shell/help_window.h"
#include "program/app/language_resources.h"
#include "program/app/recent_images.h"
#include "program/shell/main_window.h"
#include "program/shell/qt_shell_port.h"
#include "program/app/scan_launch.h"
#include "program/app/settings_store.h"
#include "program/shell/window_placement.h"

namespace dravik::shell {

namespace {

constexpr unsigned kBadSwitch = 206;
constexpr unsigned kNoDeviceInterface = 240;
constexpr int kSelectDriveCommand = 51685;

std::atomic<bool> g_ignoreChecksums{false};
bool g_startupSplash = true;

std::function<void()>& AnalysisWarning() {
    static std::function<void()> warning = [] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("DDB Analyze"),
                        QStringLiteral("Error analyzing DDB information"), QMessageBox::Ok);
        box.exec();
    };
    return warning;
}

}  // namespace

void SetAnalysisWarning(std::function<void()> warning) { AnalysisWarning() = std::move(warning); }

void SetStartupSplashEnabled(bool enabled) { g_startupSplash = enabled; }

Program::Program() = default;
Program::~Program() = default;

bool IgnoreChecksumsThisRun() { return g_ignoreChecksums; }

std::unique_ptr<Program> StartProgram(const std::vector<std::string>& arguments) {
    auto program = std::make_unique<Program>();
    scan::ProgramTitle = kProgramTitle;
    scan::CloseRequested = 0;

    // The language module; without it there is no text to show but this.
    messages::LanguageModule& language = messages::ProgramLanguage();
    // A module loaded already (by a test, from its build folder) is kept.
    if (!language.Loaded() && !language.Load()) {
        std::fprintf(stderr, "dravik: %s\n", language.LoadError().c_str());
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kProgramTitle),
                        QString::fromLatin1(kMissingLanguageModuleText), QMessageBox::Ok);
        box.exec();
        return program;
    }
    program->languageLoaded = true;

    // Messages from here on; the port lives on this, the user-interface,
    // thread.
    messages::MessageContext context;
    context.language = &language;
    context.caption = kProgramTitle;
    messages::SetMessageContext(context);
    program->port = std::make_unique<QtShellPort>();
    port::InstallShellPort(program->port.get());

    // The about box greets the user while the program starts; it closes
    // itself after a few seconds or a click.
    const bool splash = g_startupSplash && ShowSplash() != nullptr;
    // Help: the pages beside the program; the language's popup texts.
    (void)ContextHelpPath(QString::fromStdString(language.LanguageCode()));

    app::CommandLine line;
    std::string badToken;
    if (!app::ParseCommandLine(arguments, line, badToken)) {
        messages::ShowMessage(static_cast<int>(kBadSwitch), badToken.c_str());
        WaitForSplash();
        return program;
    }
    if (line.closeSplash) CloseSplash();
    diag::ApplyDebugSwitches(line.debug);
    if (splash && diag::DebugMode) LogVersionLine();
    g_ignoreChecksums = line.ignoreChecksums;
    settings::ResetSettings();
    settings::ProgramSettings.IgnoreChecksums = line.ignoreChecksums ? 1 : 0;
    // The analysis waits for the splash: its warning would sit behind it.
    if (line.analyseDatabase) {
        WaitForSplash();
        if (!app::AnalyzeDeviceDatabase() && AnalysisWarning()) AnalysisWarning()();
    }

    WindowResources resources;
    std::string error;
    if (!LoadWindowResources(resources, error)) {
        std::fprintf(stderr, "dravik: %s\n", error.c_str());
        return program;
    }

    // The main window comes once the splash has gone.
    WaitForSplash();
    program->window = std::make_unique<MainWindow>(resources);
    MainWindow& window = *program->window;
    window.SetBusyCursor(true);
    program->port->SetMainWindow(&window);
    app::InstallDriveSelectionHooks({[&window] { window.ShowDeviceStatus(); }, [&window] { window.UpdateDeviceControls(); }});
    app::InstallScanPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    messages::SetCancelHandler([] {
        if (device::CDDevice* drive = scan::SelectedDevice()) drive->SetAbortFlag();
    });

    platform::DriveTable::Process();
    platform::InstallProcessDriveTable();
    if (!device::CDDevice::Initialize(app::LanguageModuleHandle(), messages::ShowMessage)) {
        messages::ShowMessage(static_cast<int>(kNoDeviceInterface));
        return program;
    }
    program->deviceLibraryStarted = true;

    if (scan::CloseRequested) {
        program->window.reset();
        return program;
    }
    app::ReadSettings();
    if (settings::ProgramSettings.SavePos) RestoreWindowPlacement(window);
    window.show();
    window.ShowDeviceStatus();
    // The images opened in earlier runs are drives again.
    app::ServeRecentImages();
    window.UpdateRecentImages();
    if (app::SelectDeviceAtStart()) {
        app::StartScan();
    } else {
        window.UpdateDeviceControls();
        QTimer::singleShot(0, &window, [&window] { window.Command(kSelectDriveCommand); });
    }
    window.SetBusyCursor(false);
    program->run = true;
    return program;
}

int RunMessageLoop(Program& program) {
    if (!program.run) return program.exitCode;
    return QApplication::exec();
}

void ShutdownProgram(Program& program) {
    // A scan still running is asked to stop and served until it has.
    if (app::ScanThreadExists()) {
        if (device::CDDevice* drive = scan::SelectedDevice()) drive->SetAbortFlag();
        scan::CloseRequested = 1;
        app::WaitForScan([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    }
    messages::SetCancelHandler(nullptr);
    app::InstallScanPump(nullptr);
    CloseHelpWindow();
    if (program.port) program.port->ProgressDestroy();
    program.window.reset();
    if (program.port) program.port->SetMainWindow(nullptr);
    if (program.deviceLibraryStarted) device::CDDevice::Terminate();
    program.deviceLibraryStarted = false;
    app::ReleaseDevices();
    app::InstallDriveSelectionHooks({});
    scan::ClearTrackList(false);
    if (program.languageLoaded) app::RemoveTempFiles();
    port::InstallShellPort(nullptr);
    program.port.reset();
}

}  // namespace dravik::shell
