// Operating-system texts of the error codes the device library passes on.
//
// The transports' system calls go through the platform stand-ins, which
// report failures as the Windows-family system error codes the device
// library was built around (5 access denied, 87 bad parameter, 121 time-out,
// 1167 device gone, ...; platform/win_errors.h). This is the message table for those codes, each
// text as the system delivers it: a sentence with its full stop, ended by
// CR LF.
#pragma once

#include <string>

namespace dravik::device {

// The system's message for the code, with its closing full stop and CR LF;
// empty for a code the system has no text for.
std::string SystemMessageText(unsigned long code);

// A system message cut the way the library shows it: up to its last
// carriage return, without that carriage return and the character before it
// (the full stop). A text without a carriage return is kept whole.
std::string TrimSystemMessage(const std::string& message);

}  // namespace dravik::device
