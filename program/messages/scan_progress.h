// The scan-progress dialog: created on the user-interface thread when the
// scan starts (a worker's request is handed over and waits, as window
// message 2026 does), shown at the first tick, with a busy bar that counts
// 0 to 100 and starts again, and a Cancel button.
#pragma once

#include <functional>

namespace dravik::messages {

// Creates the dialog (hidden until the first tick). The busy bar is hidden
// while prompts are suppressed.
void ProgressOpen(bool promptsSuppressed);
// Called by the scanning code at intervals, from any thread.
void ProgressTick();
// The scan's end closes the dialog.
void ProgressClose();
bool ProgressIsOpen();
// The tick counter: -1 before the first tick.
int ProgressCounter();

// Cancel in the dialog: sets the selected device's abort flag through
// `SetCancelHandler`, logs "Cancel requested by user." when debug mode is
// on, and puts status text 215 into the status line.
void ProgressCancel();
void SetCancelHandler(std::function<void()> handler);

}  // namespace dravik::messages
