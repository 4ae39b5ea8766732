// Options of dravik-cli itself, accepted before or after the command name:
// -D[n] turns on the debug log as the program's -D does, --yes and --no
// answer the questions that would otherwise take their default button,
// --map FILE names the ddrescue mapfile of an image target.
#pragma once

#include <string>
#include <vector>

#include "cli_shell_port.h"

namespace dravik::cli {

inline constexpr const char kGlobalOptionsHelp[] =
    "  -D[n]      write the debug log (n, 1-15: 1 log, 2 write-through and sector dumps,\n"
    "             4 guard and log allocations); the log is DRAVIK_DEBUG_LOG or beside the program\n"
    "  --yes      answer every question with Yes (or OK)\n"
    "  --no       answer every question with No (or Cancel)\n"
    "  --map FILE the ddrescue mapfile of the image TARGET (instead of IMAGE.map beside it):\n"
    "             every block it does not mark finished is read as unreadable\n";

struct GlobalOptions {
    QuestionAnswer answer = QuestionAnswer::Default;
    std::string mapFile;  // --map: empty when not given
};

// Removes the global options from `args` (up to a "--", which is removed
// too) and applies -D. False with `error` for a bad -D number or both
// --yes and --no, or --map without a file or given twice.
bool TakeGlobalOptions(std::vector<std::string>& args, GlobalOptions& options, std::string& error);

}  // namespace dravik::cli
