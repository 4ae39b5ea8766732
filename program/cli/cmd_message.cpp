// dravik-cli message ID [ARG...]: shows one message of the language module
// with the given arguments the way the program would, and prints the
// answer (1, 2, 6 or 7). Lets translators and scripts check texts, and
// shows what --yes and --no answer.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"

namespace dravik::cli {

namespace {

struct Argument {
    bool isText;
    int number;
    const char* text;
};

constexpr std::size_t kMostArguments = 3;

// Calls ShowMessage with each argument passed as its own type.
template <typename... Done>
int ShowWithArguments(int id, const std::vector<Argument>& args, std::size_t next, Done... done) {
    if constexpr (sizeof...(Done) < kMostArguments) {
        if (next < args.size()) {
            const Argument& a = args[next];
            return a.isText ? ShowWithArguments(id, args, next + 1, done..., a.text)
                            : ShowWithArguments(id, args, next + 1, done..., a.number);
        }
    }
    return messages::ShowMessage(id, done...);
}

bool ParseNumber(const std::string& text, long& value) {
    if (text.empty()) return false;
    std::size_t used = 0;
    try {
        value = std::stol(text, &used, 0);
    } catch (...) {
        return false;
    }
    return used == text.size();
}

int Message(const std::vector<std::string>& args) {
    const char* usage = "usage: dravik-cli message ID [ARG...]\n";
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::fputs(usage, args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    long id = 0;
    if (!ParseNumber(args[0], id) || id <= 0 || id > 0xFFFF) {
        std::fprintf(stderr, "message: '%s' is not a message number\n", args[0].c_str());
        return kExitUsage;
    }
    const messages::MessageSpec* entry = messages::FindMessageSpec(static_cast<unsigned>(id));
    if (!entry) {
        std::fprintf(stderr, "message: %ld is not a message the program raises\n", id);
        return kExitUsage;
    }
    const std::string letters = entry->arguments;
    if (args.size() - 1 != letters.size()) {
        std::fprintf(stderr, "message: %ld takes %zu argument%s (%s)\n", id, letters.size(),
                     letters.size() == 1 ? "" : "s", entry->raisedWhen);
        return kExitUsage;
    }
    std::vector<Argument> values;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const std::string& given = args[i + 1];
        if (letters[i] == 's') {
            values.push_back({true, 0, given.c_str()});
            continue;
        }
        long number = 0;
        if (!ParseNumber(given, number)) {
            std::fprintf(stderr, "message: argument %zu of %ld must be a number, not '%s'\n", i + 1, id,
                         given.c_str());
            return kExitUsage;
        }
        values.push_back({false, static_cast<int>(number), nullptr});
    }
    int result = ShowWithArguments(messages::MessageIdWithFlags(static_cast<unsigned>(id)), values, 0);
    std::printf("%d\n", result);
    return kExitOk;
}

const CliCommandRegistration messageCommand({"message", "ID [ARG...]",
                                            "show a message of the language module and print the answer", Message});

}  // namespace

}  // namespace dravik::cli
