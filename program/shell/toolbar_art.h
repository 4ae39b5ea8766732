// The toolbar's tray commands as the symbols drives print on their
// buttons: eject (a triangle pointing up over a bar) and load (a bar over a
// triangle pointing down), so that they do not read as navigation arrows.
// The desktop's "media-eject" icon is used when its theme has one.
#pragma once

#include <QIcon>

namespace dravik::shell {

QIcon EjectIcon();
QIcon LoadTrayIcon();

}  // namespace dravik::shell
