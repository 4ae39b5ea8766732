// A front end that shows nothing: the harnesses install it so that the
// readers' messages take their default answers at once instead of being
// printed for every input.
#pragma once

#include "program/port/windowless_shell_port.h"

namespace dravik::fuzz {

class QuietPort : public port::WindowlessShellPort {
public:
    bool IsUserInterfaceThread() const override { return true; }
    int CallOnUserInterfaceThread(const std::function<int()>& call) override { return call(); }
    void RunMessageDialog(port::MessageDialog& dialog, port::WindowRef owner) override;
};

// Installs one QuietPort for the rest of the process.
void InstallQuietPort();

}  // namespace dravik::fuzz
