// The message dialog on the language module's "MESSAGEBOX" layout: shows
// what a port::MessageDialog decided (buttons, labels, default, icon) and
// reports what the user did back to it.
#pragma once

#include <QWidget>

#include "program/port/message_dialog.h"

namespace dravik::shell {

// Shows the dialog application-modal over `owner` (no owner: centred on the
// screen) and returns once it is answered: a button, the close box or
// Escape, or the 20-second auto-answer. Runs a local event loop, so calls
// handed over from the scan thread keep being served meanwhile. Throws
// FormError when the layout or one of its controls is missing.
void RunMessageBox(port::MessageDialog& dialog, QWidget* owner);

// The visible message dialog, if one is open (tests and screenshots).
QWidget* OpenMessageBox();

}  // namespace dravik::shell
