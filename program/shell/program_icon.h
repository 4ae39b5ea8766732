// The program's icon (a disc), drawn at the sizes desktops ask for.
#pragma once

#include <QIcon>

namespace dravik::shell {

QIcon ProgramIcon();

}  // namespace dravik::shell
