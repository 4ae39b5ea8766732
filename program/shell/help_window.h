// The program's own help window: the help pages in a text browser, for a
// desktop where no browser opens them (no launcher, no browser installed).
// One window for the whole program; showing another page reuses it.
#pragma once

#include <QUrl>

class QTextBrowser;
class QWidget;

namespace dravik::shell {

constexpr char kHelpWindowName[] = "HelpWindow";

// Shows `page` (a local file of the help folder, with or without an
// anchor) in the help window, raising it. Returns the window.
QWidget* ShowHelpWindow(const QUrl& page);
// The window's browser, or null while the window was never opened.
QTextBrowser* HelpBrowser();
// Closes and deletes the window (at shutdown).
void CloseHelpWindow();

}  // namespace dravik::shell
