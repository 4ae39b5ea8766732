// Every message id the program and the device library raise, with the
// flags their callers pass and the arguments they format. The texts come
// from the language module, a file a translator replaces: before a text is
// formatted its printf conversions are checked against these arguments, so
// a text with more (or other) conversions than its callers pass is shown
// unformatted instead of reading arguments that were never passed.
#pragma once

#include <string>
#include <string_view>

namespace dravik::messages {

struct MessageSpec {
    unsigned id;
    unsigned flags;         // MessageFlags the callers pass (high 16 bits of the id)
    const char* arguments;  // one letter per argument: 'd' an int, 's' a text
    const char* raisedWhen;
};

// The catalogue entry of a message id (text number), or null when it is not listed.
const MessageSpec* FindMessageSpec(unsigned id);
// All listed messages, in id order.
const MessageSpec* MessageSpecs(std::size_t& count);

// The id with its callers' flags in the high 16 bits, as passed to ShowMessage.
int MessageIdWithFlags(unsigned id);

// The argument letters a printf format consumes ('d' for %d %i %u %x %X
// %o %c, 's' for %s), in order. False (with `why`) when it holds a
// conversion these messages never use: length modifiers, '*' widths,
// positional arguments, %n, floating point, pointers, or a dangling '%'.
bool FormatArguments(std::string_view format, std::string& letters, std::string* why = nullptr);

// True when `format` consumes a prefix of `arguments` (extra arguments
// are harmless, missing or mistyped ones are not).
bool FormatFitsArguments(std::string_view format, std::string_view arguments, std::string* why = nullptr);

}  // namespace dravik::messages
