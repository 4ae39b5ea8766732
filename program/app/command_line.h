// The program's command line: white-space separated switches, each "-" or
// "/" followed by a letter in either case:
//   C      ignore checksum errors (HFS nodes, UDF descriptors) for this run
//   D[n]   debug mode; n (1-15) is read as bits, see diag/debug_switches.h
//   K      run the device-database analysis once the splash has gone
//   N      close the start-up splash at once
#pragma once

#include <string>
#include <vector>

#include "program/diag/debug_switches.h"

namespace dravik::app {

struct CommandLine {
    bool ignoreChecksums = false;
    bool debugGiven = false;
    diag::DebugSwitches debug;
    bool analyseDatabase = false;
    bool closeSplash = false;
};

// False with `badToken` set to the first token that is not a switch above
// (message 206 shows it).
bool ParseCommandLine(const std::vector<std::string>& tokens, CommandLine& line, std::string& badToken);

// Splits a command-line text at white space.
std::vector<std::string> SplitCommandLine(const std::string& text);

}  // namespace dravik::app
