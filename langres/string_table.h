// The language module's string table, split by number range into a few
// source files. Each range is sorted by id so a lookup is a binary search.
#pragma once

#include <cstddef>

namespace dravik::langres {

struct StringEntry {
    unsigned id;
    const char* text;
};

struct StringRange {
    const StringEntry* entries;
    std::size_t count;
};

// Program messages, button labels and status texts (below 3000).
StringRange ProgramMessageStrings();
// Device library messages (3000-3015) and device database messages (3201-3207).
StringRange DeviceMessageStrings();
// Sense texts: 8000 + additional sense code.
StringRange SenseStrings();

}  // namespace dravik::langres
