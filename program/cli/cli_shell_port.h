// The CLI's front end of the shell port: messages go to stderr, questions
// are answered at once by their default button unless --yes or --no says
// otherwise, and the rest (status line, tree, progress) has nothing to show.
// The CLI has no separate user-interface thread: the main thread plays that
// part, and a worker's hand-over runs the call under a mutex on the worker.
#pragma once

#include <cstdio>
#include <mutex>
#include <thread>

#include "program/port/windowless_shell_port.h"

namespace dravik::cli {

enum class QuestionAnswer { Default, Yes, No };

class CliShellPort : public port::WindowlessShellPort {
public:
    explicit CliShellPort(QuestionAnswer answer, std::FILE* out = stderr);

    bool IsUserInterfaceThread() const override;
    int CallOnUserInterfaceThread(const std::function<int()>& call) override;
    void RunMessageDialog(port::MessageDialog& dialog, port::WindowRef owner) override;

    // The button --yes / --no / the default picks for a dialog.
    static int ChosenButton(const port::MessageDialog& dialog, QuestionAnswer answer);

private:
    QuestionAnswer answer_;
    std::FILE* out_;
    std::thread::id mainThread_;
    std::recursive_mutex handOver_;
};

}  // namespace dravik::cli
