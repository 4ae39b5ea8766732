// ShowMessage: the program's single entry for messages to the user, and the
// device library's message callback. A message id carries the text number
// of the language module in its low 16 bits and the MessageFlags (dialog
// kind, default button, auto-answer) in its high 16 bits; the result is the
// button pressed (1, 2, 6 or 7), or 0 for a text that only goes to the log.
// Works from any thread: a worker's message is handed to the user-interface
// thread and the worker waits for the answer.
#pragma once

#include <cstdarg>
#include <string>

#include "program/port/message_dialog.h"
#include "program/port/shell_port.h"

namespace dravik::messages {

class LanguageModule;

// Set once at start-up, before the first message.
struct MessageContext {
    // Source of the texts; null means ProgramLanguage().
    const LanguageModule* language = nullptr;
    // Title of every message dialog (the main window's title).
    std::string caption = "Dravik";
    // The clock of the dialogs' auto-answer; empty means the steady clock.
    port::SteadyClock clock;
};
void SetMessageContext(MessageContext context);
// The language module of the context.
const LanguageModule& MessageLanguage();

// Loaded texts are cut to this many bytes before formatting, and the
// formatted text to kMaxMessageText.
constexpr std::size_t kMaxLoadedText = 399;
constexpr std::size_t kMaxOwnedLoadedText = 199;
constexpr std::size_t kMaxMessageText = 499;

int ShowMessage(int id, ...);
int VShowMessage(int id, va_list arguments);
// The same dialog owned by another dialog window: no logging, no hand-over
// (the owner lives on the user-interface thread).
int ShowMessageOwned(port::WindowRef owner, int id, ...);

// The text of message `number` formatted with `arguments`; a text whose
// conversions do not fit the message's documented arguments, or a number
// that is not in the catalogue while its text has conversions, is returned
// unformatted (and the mismatch logged when debug mode is on).
std::string FormatMessageText(unsigned number, const std::string& format, va_list arguments);

}  // namespace dravik::messages
