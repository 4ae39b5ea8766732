// dravik: the graphical program.
#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "program/shell/main_window.h"
#include "program/shell/program_icon.h"
#include "program/shell/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dravik"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(dravik::shell::kProgramTitle));
    QApplication::setApplicationVersion(QStringLiteral(DRAVIK_VERSION));
    QApplication::setWindowIcon(dravik::shell::ProgramIcon());
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
