// An inter-process lock keyed by a file path: every process (and every
// thread) that locks the same path waits for the others. It stands where the
// device library uses a system-wide named semaphore of count 1.
#pragma once

#include <string>

namespace dravik::platform {

class FileLock {
public:
    // Names the lock after `key` (normally the absolute path of the file it
    // guards); nothing is created until the first Acquire.
    explicit FileLock(std::string key);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Blocks until the lock is held. Returns false when the lock file cannot
    // be created (the caller then goes on unlocked, as it would without a
    // semaphore).
    bool Acquire();
    // Gives up the lock within `timeoutMs`; false when it was not obtained.
    bool TryAcquireFor(int timeoutMs);
    void Release();
    bool Held() const { return fd_ >= 0; }

    // The lock file used for `key`: a file in the runtime lock folder whose
    // name is derived from the key, so the guarded file's folder is never
    // written to.
    static std::string LockFilePath(const std::string& key);

private:
    bool Open();
    std::string key_;
    int fd_ = -1;
};

// Holds a FileLock for a scope.
class FileLockGuard {
public:
    explicit FileLockGuard(FileLock& lock) : lock_(lock) { locked_ = lock_.Acquire(); }
    ~FileLockGuard() {
        if (locked_) lock_.Release();
    }
    FileLockGuard(const FileLockGuard&) = delete;
    FileLockGuard& operator=(const FileLockGuard&) = delete;
    bool Locked() const { return locked_; }

private:
    FileLock& lock_;
    bool locked_;
};

}  // namespace dravik::platform
