// Connects the scan's catalogue to the tree view: the scan thread's
// insertions and the clearing at the start of a scan reach the main window
// through the Qt port, which hands them to the user-interface thread.
#pragma once

namespace dravik::shell {

class QtShellPort;

void InstallViewHooks(QtShellPort& port);

}  // namespace dravik::shell
