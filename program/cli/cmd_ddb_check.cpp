// dravik-cli ddb-check [FILE]: parses every entry of a device database
// (by default the one shipped beside the program) and says which do not.
#include <limits.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "program/app/device_setup.h"
#include "cli_command.h"
#include "device/ddb/ddb_info.h"

namespace dravik::cli {

using dravik::device::DDBAnalysis;
using dravik::device::DDBInfo;

namespace {

// Set when the database itself could not be opened or read.
bool databaseUnreadable = false;

const char* Shown(const char* text) { return text ? text : ""; }

// One readable line for a message of the device database. Kept in one
// place so that it can take its texts from the language module later.
std::string FormatDatabaseMessage(int id, va_list args) {
    char line[1024];
    switch (id) {
    case 0:
        std::snprintf(line, sizeof line, "%s", Shown(va_arg(args, const char*)));
        break;
    case DDBInfo::kMsgBadEntry: {
        const char* near = Shown(va_arg(args, const char*));
        const char* whose = Shown(va_arg(args, const char*));
        std::snprintf(line, sizeof line, "message %d: near '%s' in '%s'", id, near, whose);
        break;
    }
    case DDBInfo::kMsgCannotOpen:
    case DDBInfo::kMsgCannotRead:
    case DDBInfo::kMsgCannotWrite: {
        const char* file = Shown(va_arg(args, const char*));
        const char* error = Shown(va_arg(args, const char*));
        std::snprintf(line, sizeof line, "message %d: %s: %s", id, file, error);
        break;
    }
    case DDBInfo::kMsgNoMemory:
        std::snprintf(line, sizeof line, "message %d: not enough memory for the database", id);
        break;
    default:
        std::snprintf(line, sizeof line, "message %d", id);
        break;
    }
    return line;
}

int PrintDatabaseMessage(int id, ...) {
    if (id == DDBInfo::kMsgCannotOpen || id == DDBInfo::kMsgCannotRead || id == DDBInfo::kMsgNoMemory)
        databaseUnreadable = true;
    va_list args;
    va_start(args, id);
    std::string line = FormatDatabaseMessage(id, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", line.c_str());
    return 0;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* Plural(int n, const char* one, const char* many) { return n == 1 ? one : many; }

int DdbCheck(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        std::printf("usage: dravik-cli ddb-check [FILE]\n");
        return kExitOk;
    }
    if (args.size() > 1 || (args.size() == 1 && (args[0].empty() || args[0][0] == '-'))) {
        std::fprintf(stderr, "usage: dravik-cli ddb-check [FILE]\n");
        return kExitUsage;
    }
    const std::string path = args.empty() ? app::DeviceDatabasePath() : args[0];

    databaseUnreadable = false;
    DDBInfo database(PrintDatabaseMessage);
    database.SetFileName(path.c_str());
    bool allParse = database.AnalyzeDatabase();
    if (databaseUnreadable) {
        std::fprintf(stderr, "ddb-check: cannot read %s\n", path.c_str());
        return kExitDevice;
    }
    const DDBAnalysis& counts = database.GetAnalysis();
    std::printf("%s: %d %s, %d %s, ", BaseName(path).c_str(), counts.sections,
                Plural(counts.sections, "section", "sections"), counts.entries,
                Plural(counts.entries, "entry", "entries"));
    if (allParse) std::printf("all parse\n");
    else std::printf("%d %s\n", counts.failures, Plural(counts.failures, "error", "errors"));
    return allParse ? kExitOk : kExitFailure;
}

const CliCommandRegistration ddbCheckCommand({"ddb-check", "[FILE]",
                                            "check that every entry of a device database parses", DdbCheck});

}  // namespace

}  // namespace dravik::cli
