// Runs a built program of the project (dravik-cli by default) in a child
// process, as a user would, and captures its output and exit status. Its
// standard input is empty.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dravik::test {

struct CliRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out, err;
};

// Environment changes for the child: a value sets the variable, nullopt
// removes it.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// <build folder>/bin/dravik-cli
std::string BuiltCli();

CliRun RunProgram(const std::string& exe, const std::vector<std::string>& args, const EnvChanges& env = {});

inline CliRun RunCli(const std::vector<std::string>& args, const EnvChanges& env = {}) {
    return RunProgram(BuiltCli(), args, env);
}

}  // namespace dravik::test
