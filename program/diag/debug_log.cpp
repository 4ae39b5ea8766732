#include "program/diag/debug_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/utf8_text.h"
#include "program/diag/hex_dump.h"

namespace dravik::diag {

std::atomic<bool> DebugMode{false};
std::atomic<bool> LogWriteThrough{false};
std::atomic<bool> TrackAllocations{false};
std::mutex LogLock;

namespace {

// Guards the log path only; LogLock guards the file.
std::mutex& PathLock() {
    static std::mutex lock;
    return lock;
}
std::string& PathStorage() {
    static std::string path;
    return path;
}
bool& PathChosen() {
    static bool chosen = false;
    return chosen;
}

constexpr std::size_t kSectorBytes = 2048;

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DumpEntry(const std::string& banner, const void* buffer, std::size_t length) {
    std::string entry = banner;
    if (length > kMaxDumpBytes) length = kMaxDumpBytes;
    if (buffer) {
        for (const std::string& line : FormatHexDumpLines(static_cast<const unsigned char*>(buffer), length)) {
            entry += "\r\n";
            entry += line;
        }
    }
    return entry;
}

std::string Banner(const std::string& middle) {
    std::string title = middle;
    text::CutUtf8InPlace(title, kMaxLogLine - 40);
    return "\r\n" + LogTimeStamp() + "--------- " + title + " ---------";
}

}  // namespace

std::string LogTimeStamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(now.tv_nsec / 1000000));
    return text;
}

void WriteLogEntry(const std::string& text) {
    std::string path = LogPath();
    std::lock_guard<std::mutex> hold(LogLock);
    int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
    if (LogWriteThrough) flags |= O_DSYNC;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return;  // the entry is dropped
    // Other processes writing the same log wait for the whole entry.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (WriteAll(fd, text.data(), text.size())) WriteAll(fd, "\r\n", 2);
    ::close(fd);
}

void DebugPrint(const char* format, ...) {
    if (!format) return;
    std::string line = LogTimeStamp();
    char text[kMaxLogLine + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    line += text;
    text::CutUtf8InPlace(line, kMaxLogLine);
    WriteLogEntry(line);
}

void DebugDump(const void* buffer, int length, const char* title) {
    std::size_t bytes = length <= 0 ? kDefaultDumpBytes : static_cast<std::size_t>(length);
    WriteLogEntry(DumpEntry(Banner(title ? title : ""), buffer, bytes));
}

void DebugDumpSector(const void* buffer, int sector, const char* title) {
    char middle[kMaxLogLine];
    std::snprintf(middle, sizeof middle, "Sector %d: %s", sector, title ? title : "");
    WriteLogEntry(DumpEntry(Banner(middle), buffer, kSectorBytes));
}

void SetLogPath(std::string path) {
    std::lock_guard<std::mutex> hold(PathLock());
    PathStorage() = std::move(path);
    PathChosen() = true;
}

std::string LogPath() {
    std::lock_guard<std::mutex> hold(PathLock());
    if (!PathChosen()) {
        const char* fromEnvironment = std::getenv(kLogPathVariable);
        PathStorage() = fromEnvironment && *fromEnvironment ? std::string(fromEnvironment)
                                                            : LogPathForProgram(ProgramPath());
        PathChosen() = true;
    }
    return PathStorage();
}

std::string ProgramPath() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string LogPathForProgram(const std::string& programPath, const std::string& stateHome) {
    if (programPath.empty()) return "DRAVIK.DBG";
    std::size_t slash = programPath.rfind('/');
    std::string folder = slash == std::string::npos ? "." : programPath.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    // Only the file-name part is searched for an extension.
    std::size_t dot = name.rfind('.');
    name = (dot == std::string::npos ? name + "." : name.substr(0, dot + 1)) + "DBG";
    if (::access(folder.c_str(), W_OK) == 0) return (folder == "/" ? "" : folder) + "/" + name;

    std::string state = stateHome;
    if (state.empty()) {
        const char* xdg = std::getenv("XDG_STATE_HOME");
        if (xdg && *xdg == '/') {
            state = xdg;
        } else {
            const char* home = std::getenv("HOME");
            state = std::string(home && *home ? home : "/tmp") + "/.local/state";
        }
    }
    std::string dir = state + "/dravik";
    // Create the folders one level at a time; existing ones are fine.
    for (std::size_t at = 1; at != std::string::npos;) {
        at = dir.find('/', at + 1);
        ::mkdir(dir.substr(0, at).c_str(), 0700);
    }
    return dir + "/" + name;
}

}  // namespace dravik::diag
