#include "support/run_unprivileged.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dravik::test {

bool RunningAsRoot() { return geteuid() == 0; }

int RunUnprivileged(const std::function<int()>& check) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (RunningAsRoot()) {
            gid_t none = kNobodyId;
            if (setgroups(1, &none) != 0 || setgid(kNobodyId) != 0 || setuid(kNobodyId) != 0) _exit(250);
        }
        _exit(check());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void OpenToEveryone(const std::string& path) { chmod(path.c_str(), 0755); }

}  // namespace dravik::test
