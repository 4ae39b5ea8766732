#include "support/cli_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {

std::string BuiltCli() { return BuildDir() + "/bin/dravik-cli"; }

CliRun RunProgram(const std::string& exe, const std::vector<std::string>& args, const EnvChanges& env) {
    TempDir capture;
    std::string outPath = capture.File("out"), errPath = capture.File("err");
    CliRun run;
    pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        // No terminal to wait on: a question the program asks reads end of input.
        if (!freopen("/dev/null", "r", stdin) || !freopen(outPath.c_str(), "w", stdout) ||
            !freopen(errPath.c_str(), "w", stderr))
            _exit(126);
        for (const auto& [name, value] : env) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = capture.Read("out");
    run.err = capture.Read("err");
    return run;
}

}  // namespace dravik::test
