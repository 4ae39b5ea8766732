#include "cli_global_options.h"

#include "program/diag/debug_switches.h"

namespace dravik::cli {

bool TakeGlobalOptions(std::vector<std::string>& args, GlobalOptions& options, std::string& error) {
    std::vector<std::string> rest;
    bool yes = false, no = false;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--yes") {
            yes = true;
        } else if (arg == "--no") {
            no = true;
        } else if (arg == "--map") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "--map needs a mapfile";
                return false;
            }
            if (!options.mapFile.empty()) {
                error = "--map can be given once";
                return false;
            }
            options.mapFile = args[++i];
        } else if (arg.size() >= 2 && arg[0] == '-' && arg[1] == 'D') {
            auto switches = diag::ParseDebugSwitch(std::string_view(arg).substr(2));
            if (!switches) {
                error = "bad debug switch '" + arg + "' (use -D or -D1 to -D15)";
                return false;
            }
            diag::ApplyDebugSwitches(*switches);
        } else {
            rest.push_back(arg);
        }
    }
    rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (yes && no) {
        error = "--yes and --no cannot both be given";
        return false;
    }
    options.answer = yes ? QuestionAnswer::Yes : no ? QuestionAnswer::No : QuestionAnswer::Default;
    args = std::move(rest);
    return true;
}

}  // namespace dravik::cli
