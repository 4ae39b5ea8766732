#include "file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace dravik::platform {

namespace {

// FNV-1a, 64 bits: stable across runs and processes, which std::hash is not
// required to be.
unsigned long long Fnv1a(const std::string& text) {
    unsigned long long h = 1469598103934665603ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base = (runtime && *runtime) ? runtime : "/tmp";
    std::string folder = base + "/dravik-locks-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        folder = "/tmp/dravik-locks-" + std::to_string(getuid());
        mkdir(folder.c_str(), 0700);
    }
    return folder;
}

}  // namespace

FileLock::FileLock(std::string key) : key_(std::move(key)) {}

FileLock::~FileLock() { Release(); }

std::string FileLock::LockFilePath(const std::string& key) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.lock", Fnv1a(key));
    return LockFolder() + "/" + name;
}

bool FileLock::Open() {
    if (fd_ >= 0) return true;
    // Each acquisition opens its own descriptor: flock() locks belong to the
    // open file description, so two threads of one process exclude each
    // other just as two processes do.
    fd_ = open(LockFilePath(key_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd_ >= 0;
}

bool FileLock::Acquire() {
    if (fd_ >= 0) return true;
    if (!Open()) return false;
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd_);
            fd_ = -1;
            return false;
        }
    }
    return true;
}

bool FileLock::TryAcquireFor(int timeoutMs) {
    if (fd_ >= 0) return true;
    if (!Open()) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    close(fd_);
    fd_ = -1;
    return false;
}

void FileLock::Release() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

}  // namespace dravik::platform
