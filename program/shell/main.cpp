// dravik: the graphical program.
#include <QApplication>

#include "program/shell/main_window.h"
#include "program/shell/program_icon.h"
#include "program/shell/qt_shell_port.h"
#include "program/shell/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dravik"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(dravik::shell::kProgramTitle));
    QApplication::setApplicationVersion(QStringLiteral(DRAVIK_VERSION));
    QApplication::setWindowIcon(dravik::shell::ProgramIcon());
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::unique_ptr<dravik::shell::Program> program = dravik::shell::StartProgram(arguments);
    int code = dravik::shell::RunMessageLoop(*program);
    dravik::shell::ShutdownProgram(*program);
    return code;
}
