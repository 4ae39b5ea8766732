#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/test_seams.h"

namespace dravik::platform {

namespace {
std::mutex hookLock;
test_seams::WriteFaultHook faultHook;

int Fault(std::string_view stage) {
    std::lock_guard<std::mutex> g(hookLock);
    return faultHook ? faultHook(stage) : 0;
}
}  // namespace

void test_seams::SetWriteFaultHook(WriteFaultHook hook) {
    std::lock_guard<std::mutex> g(hookLock);
    faultHook = std::move(hook);
}

std::string ErrorText(int error) {
    char buf[256];
    // GNU strerror_r returns the text, which may or may not be in buf.
    return strerror_r(error, buf, sizeof buf);
}

int ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            close(fd);
            return e;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return 0;
}

int WriteFileAtomically(const std::string& path, std::string_view data, const std::string& tempPath) {
    std::string temp = tempPath.empty() ? path + ".tmp" + std::to_string(getpid()) : tempPath;

    mode_t mode = 0644;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return errno;

    auto fail = [&](int error) {
        if (fd >= 0) close(fd);
        unlink(temp.c_str());
        return error;
    };

    if (int e = Fault("write")) return fail(e);
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (fchmod(fd, mode) != 0) return fail(errno);
    if (int e = Fault("sync")) return fail(e);
    if (fsync(fd) != 0) return fail(errno);
    if (close(fd) != 0) {
        fd = -1;
        return fail(errno);
    }
    fd = -1;
    if (int e = Fault("rename")) return fail(e);
    if (rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
    return 0;
}

}  // namespace dravik::platform
