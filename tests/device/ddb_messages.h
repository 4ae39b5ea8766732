// Records the messages a DDBInfo raises, so that tests can assert on ids
// and arguments. The callback is a plain varargs function, as the library
// requires; the record is process-wide, so each test clears it first.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace ddbtest {

struct RaisedMessage {
    int id;
    std::vector<std::string> args;
};

inline std::vector<RaisedMessage>& Raised() {
    static std::vector<RaisedMessage> raised;
    return raised;
}

// How many C-string arguments each message carries.
inline int ArgumentCount(int id) {
    switch (id) {
    case 0: return 1;
    case 3206: return 0;
    default: return 2;
    }
}

inline int Record(int id, ...) {
    RaisedMessage m{id, {}};
    va_list ap;
    va_start(ap, id);
    for (int i = 0; i < ArgumentCount(id); ++i) {
        const char* text = va_arg(ap, const char*);
        m.args.push_back(text ? text : "(null)");
    }
    va_end(ap);
    Raised().push_back(std::move(m));
    return 0;
}

inline int CountOf(int id) {
    int n = 0;
    for (const RaisedMessage& m : Raised()) n += m.id == id;
    return n;
}

}  // namespace ddbtest
