// The program's start-up (steps in order: language module, message
// context, command line, menus and accelerators, main window, status bar,
// toolbar and views, device library, drive, first scan), its message loop
// and its shutdown. Split in three so that tests run the same start-up and
// shutdown around their own event loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dravik::shell {

class MainWindow;
class QtShellPort;

constexpr char kProgramTitle[] = "Pellor Dravik";
constexpr char kMissingLanguageModuleText[] =
    "Unable to load language resource data\nApplication installation error.";

struct Program {
    Program();
    ~Program();
    // False: the program ends at once with `exitCode`.
    bool run = false;
    int exitCode = 0;
    std::unique_ptr<QtShellPort> port;
    std::unique_ptr<MainWindow> window;
    bool deviceLibraryStarted = false;
    bool languageLoaded = false;
};

// Start-up up to the message loop. Needs a QApplication. `arguments` are
// the command-line tokens after the program name.
std::unique_ptr<Program> StartProgram(const std::vector<std::string>& arguments);
// The message loop; returns the exit code.
int RunMessageLoop(Program& program);
// Shutdown in order; safe after any start-up outcome.
void ShutdownProgram(Program& program);

// What -K shows when the device database does not parse (a warning box);
// tests replace it.
void SetAnalysisWarning(std::function<void()> warning);

// Whether start-up shows the splash (on; the graphical tests, which start
// the program many times, turn it off).
void SetStartupSplashEnabled(bool enabled);

// What -C asked for: checksum errors in HFS nodes and UDF descriptors are
// ignored for this run.
bool IgnoreChecksumsThisRun();

}  // namespace dravik::shell
