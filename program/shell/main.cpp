// dravik: the graphical program.
#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "program/shell/main_window.h"
#include "program/shell/program_icon.h"
#include "program/scan/driver/scan_thread.h"
#include "program/shell/qt_shell_port.h"
#include "program/shell/scan_launch.h"
#include "program/shell/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dravik"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(dravik::shell::kProgramTitle));
    QApplication::setApplicationVersion(QStringLiteral(DRAVIK_VERSION));
    QApplication::setWindowIcon(dravik::shell::ProgramIcon());
    // The scan engine's body runs on the shell's one scan thread, so every
    // scan (at start, rescan, tray, drive dialog) takes the same path.
    dravik::shell::InstallScanThread(&dravik::scan::ScanThread);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::unique_ptr<dravik::shell::Program> program = dravik::shell::StartProgram(arguments);
    // For scripted runs (a virtual X session in CI): DRAVIK_CLOSE_AFTER_MS
    // gives the close command after that many milliseconds, as if chosen
    // from the menu.
    if (const char* after = std::getenv("DRAVIK_CLOSE_AFTER_MS"); after && program->window) {
        dravik::shell::MainWindow* window = program->window.get();
        QTimer::singleShot(std::atoi(after), window, [window] { window->Command(51682); });
    }
    int code = dravik::shell::RunMessageLoop(*program);
    dravik::shell::ShutdownProgram(*program);
    return code;
}
