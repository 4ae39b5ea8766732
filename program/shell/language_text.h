// A numbered text of the loaded language module as a QString.
#pragma once

#include <QString>

#include "program/messages/language_module.h"
#include "program/messages/show_message.h"

namespace dravik::shell {

inline QString LanguageText(unsigned id) {
    return QString::fromStdString(messages::MessageLanguage().Text(id));
}

}  // namespace dravik::shell
