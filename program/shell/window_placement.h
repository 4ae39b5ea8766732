// The main window's placement kept between sessions ("SavedWindowPosition").
#pragma once

#include <QWidget>

#include "program/app/settings_store.h"

namespace dravik::shell {

// The window's placement in the stored form: its normal (not maximised)
// rectangle and whether it is maximised or minimised. Qt gives no
// minimised or maximised position of its own: those are stored as -1.
app::WindowPlacement PlacementOf(const QWidget& window);
// Applies a placement: the normal rectangle (moved onto a screen when it
// lies on none), maximised when it was. A rectangle without width or
// height is not applied.
bool ApplyPlacement(QWidget& window, const app::WindowPlacement& placement);

// Writes "SavedWindowPosition".
void SaveWindowPlacement(const QWidget& window);
// Reads "SavedWindowPosition" and applies it when all ten numbers parse.
bool RestoreWindowPlacement(QWidget& window);

}  // namespace dravik::shell
