// Permission tests need a process that file permissions apply to. Root
// ignores them, so when the tests run as root the check runs in a child
// that has given up root for user "nobody"; otherwise in a plain child.
#pragma once

#include <functional>
#include <string>

namespace dravik::test {

inline constexpr unsigned kNobodyId = 65534;

bool RunningAsRoot();

// Runs `check` in a child process (as nobody when this process is root).
// `check` returns 0 when everything held, else a number that says which
// check failed. Returns that number, or -1 when the child could not run.
int RunUnprivileged(const std::function<int()>& check);

// Makes `path` readable and searchable by everyone (a temporary folder is
// private to its creator, which would hide it from the unprivileged child).
void OpenToEveryone(const std::string& path);

}  // namespace dravik::test
