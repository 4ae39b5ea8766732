// dravik-cli: the headless front end.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli_command.h"
#include "cli_global_options.h"
#include "cli_shell_port.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "scan_target.h"

namespace dravik::cli {

namespace {
std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: dravik-cli [GLOBAL OPTIONS] COMMAND [ARGS...]\n\n");
    std::fprintf(out, "global options (before or after the command):\n%s\ncommands:\n", kGlobalOptionsHelp);
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

namespace {
// Installs the CLI front end and the language module for one command.
int RunCommand(const dravik::cli::CliCommand& command, const dravik::cli::GlobalOptions& options,
               const std::vector<std::string>& args) {
    using namespace dravik;
    messages::LanguageModule& language = messages::ProgramLanguage();
    if (!language.Load())
        std::fprintf(stderr, "dravik-cli: warning: %s; messages will have no text\n", language.LoadError().c_str());
    messages::MessageContext context;
    context.language = &language;
    context.caption = "Dravik";
    messages::SetMessageContext(context);
    cli::CliShellPort port(options.answer);
    port::InstallShellPort(&port);
    int status = command.handler(args);
    port::InstallShellPort(nullptr);
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    using namespace dravik::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    GlobalOptions options;
    std::string error;
    if (!TakeGlobalOptions(args, options, error)) {
        std::fprintf(stderr, "dravik-cli: %s\n\n", error.c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    SetTargetRescueMap(options.mapFile);
    if (args.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    std::string name = args[0];
    if (name == "-h" || name == "--help" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    for (const CliCommand& c : CliCommands()) {
        if (name == c.name) return RunCommand(c, options, std::vector<std::string>(args.begin() + 1, args.end()));
    }
    std::fprintf(stderr, "dravik-cli: unknown command '%s'\n\n", name.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}
