// ShowStatus: a line of text in part 0 of the main window's status bar,
// from any thread (the front end hands a worker's call over). Free of any
// widget toolkit, so the scan code may call it.
#pragma once

namespace dravik::messages {

// Status texts are cut to this many bytes before formatting.
constexpr unsigned kMaxStatusText = 100;

// A nonzero text number (low 16 bits of `id`) shows that language-module
// text formatted with the arguments; a missing text changes nothing. With
// number 0 the first argument is the text itself. With debug mode on and
// `id` not negative, the text is also logged.
void ShowStatus(int id, ...);

// The arguments a status text's callers pass ('d' an int, 's' a text);
// empty for a text that takes none (command help texts).
const char* StatusTextArguments(unsigned number);

}  // namespace dravik::messages
