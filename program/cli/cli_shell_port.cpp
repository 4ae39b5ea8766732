#include "cli_shell_port.h"

#include <string>

namespace dravik::cli {

namespace {
const char* DefaultLabel(int button) {
    switch (button) {
        case port::kButtonOk: return "OK";
        case port::kButtonCancel: return "Cancel";
        default: return "No";
    }
}
std::string Label(const port::DialogButton& button) {
    return button.label.empty() ? DefaultLabel(button.id) : button.label;
}
}  // namespace

CliShellPort::CliShellPort(QuestionAnswer answer, std::FILE* out)
    : answer_(answer), out_(out), mainThread_(std::this_thread::get_id()) {}

bool CliShellPort::IsUserInterfaceThread() const { return std::this_thread::get_id() == mainThread_; }

int CliShellPort::CallOnUserInterfaceThread(const std::function<int()>& call) {
    // One hand-over at a time, as one user-interface thread would take them.
    std::lock_guard<std::recursive_mutex> hold(handOver_);
    return call();
}

int CliShellPort::ChosenButton(const port::MessageDialog& dialog, QuestionAnswer answer) {
    const unsigned kind = dialog.Kind();
    if (kind == port::kMessageKindOk || answer == QuestionAnswer::Default) return dialog.DefaultButton();
    if (answer == QuestionAnswer::Yes) return port::kButtonOk;
    return kind == port::kMessageKindYesNoCancel ? port::kButtonNo : port::kButtonCancel;
}

void CliShellPort::RunMessageDialog(port::MessageDialog& dialog, port::WindowRef) {
    std::lock_guard<std::recursive_mutex> hold(handOver_);
    std::fprintf(out_, "%s: %s\n", dialog.Caption().c_str(), dialog.Text().c_str());
    int button = ChosenButton(dialog, answer_);
    dialog.Press(button);
    if (dialog.Kind() == port::kMessageKindOk) return;

    std::string choices;
    std::string chosen;
    for (const port::DialogButton& b : dialog.Buttons()) {
        if (!choices.empty()) choices += "/";
        choices += Label(b);
        if (b.id == button) chosen = Label(b);
    }
    const char* why = answer_ == QuestionAnswer::Yes  ? "--yes"
                      : answer_ == QuestionAnswer::No ? "--no"
                                                      : "default";
    std::fprintf(out_, "  [%s] -> %s (%s)\n", choices.c_str(), chosen.c_str(), why);
    std::fflush(out_);
}

}  // namespace dravik::cli
