// Sub-commands of dravik-cli. Each command lives in its own file and
// registers itself with a static CliCommandRegistration.
#pragma once

#include <string>
#include <vector>

namespace dravik::cli {

using CliHandler = int (*)(const std::vector<std::string>& args);

struct CliCommand {
    const char* name;
    const char* usage;    // one line: arguments and options
    const char* summary;  // one line: what it does
    CliHandler handler;
};

// All registered commands, sorted by name.
const std::vector<CliCommand>& CliCommands();

struct CliCommandRegistration {
    explicit CliCommandRegistration(const CliCommand& command);
};

// Exit statuses shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitDevice = 3;

}  // namespace dravik::cli
