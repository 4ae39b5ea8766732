#include "support/quiet_port.h"

namespace dravik::fuzz {

void QuietPort::RunMessageDialog(port::MessageDialog& dialog, port::WindowRef) {
    dialog.Press(dialog.DefaultButton());
}

void InstallQuietPort() {
    static QuietPort port;
    port::InstallShellPort(&port);
}

}  // namespace dravik::fuzz
