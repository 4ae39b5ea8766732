// dravik-cli: the headless front end.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli_command.h"

namespace dravik::cli {

namespace {
std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: dravik-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const CliCommand& c : CliCommands())
        std::fprintf(out, "  %-10s %s\n  %-10s   %s\n", c.name, c.usage, "", c.summary);
}
}  // namespace

const std::vector<CliCommand>& CliCommands() { return Registry(); }

CliCommandRegistration::CliCommandRegistration(const CliCommand& command) {
    auto& commands = Registry();
    auto at = std::lower_bound(commands.begin(), commands.end(), command,
                               [](const CliCommand& a, const CliCommand& b) {
                                   return std::strcmp(a.name, b.name) < 0;
                               });
    commands.insert(at, command);
}

}  // namespace dravik::cli

int main(int argc, char** argv) {
    using namespace dravik::cli;
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    for (const CliCommand& c : CliCommands()) {
        if (name == c.name) return c.handler(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "dravik-cli: unknown command '%s'\n\n", name.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}
