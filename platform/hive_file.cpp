#include "hive_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "atomic_file.h"
#include "file_lock.h"

namespace dravik::platform {

namespace {

// The last text read of each hive and what it parsed to. Every read looks at
// the file again (hive files are small), so a change by another process or
// a hand edit is seen at once even when it keeps the size and the time
// stamp; the cache only saves parsing an unchanged text again.
struct CachedHive {
    std::string text;
    std::shared_ptr<const HiveKey> root;
};

std::mutex cacheLock;
std::map<std::string, CachedHive> cache;
std::set<std::pair<std::string, size_t>> reportedBadFiles;

// Says once per content of a bad file that it is being read as empty.
void ReportBadFile(const std::string& path, std::string_view text, const std::string& reason) {
    std::lock_guard<std::mutex> g(cacheLock);
    if (!reportedBadFiles.insert({path, std::hash<std::string_view>{}(text)}).second) return;
    std::fprintf(stderr, "Dravik: settings file %s is not valid (%s); its settings are ignored\n", path.c_str(),
                 reason.c_str());
}

// Reads the file's text. A missing file reads as empty with `exists` false;
// a file beyond the size limit is not read (`tooLarge`).
long ReadHiveText(const std::string& path, std::string& text, bool& exists, bool& tooLarge) {
    text.clear();
    exists = false;
    tooLarge = false;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? kRegSuccess : RegErrorFromErrno(errno);
    exists = true;
    if (st.st_size > static_cast<off_t>(kMaxHiveFileBytes)) {
        tooLarge = true;
        return kRegSuccess;
    }
    if (int e = ReadWholeFile(path, text)) {
        exists = false;
        return e == ENOENT ? kRegSuccess : RegErrorFromErrno(e);
    }
    return kRegSuccess;
}

// Parses a hive's text; an invalid text is an empty hive with `bad` set.
void ParseOrReport(const std::string& path, const std::string& text, bool tooLarge, HiveKey& root, bool& bad) {
    std::string reason;
    bad = false;
    if (tooLarge) {
        reason = "larger than " + std::to_string(kMaxHiveFileBytes) + " bytes";
        bad = true;
    } else if (!ParseHiveText(text, root, reason)) {
        bad = true;
    }
    if (bad) {
        root = HiveKey{};
        ReportBadFile(path, tooLarge ? std::string_view("too large") : std::string_view(text), reason);
    }
}

std::string BackupName(const std::string& path) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".bad-" + stamp;
    std::string name = base;
    struct stat st {};
    for (int n = 2; lstat(name.c_str(), &st) == 0; ++n) name = base + "-" + std::to_string(n);
    return name;
}

int MakeFolders(const std::string& folder) {
    if (folder.empty()) return 0;
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    size_t cut = folder.find_last_of('/');
    if (cut != std::string::npos && cut > 0)
        if (int e = MakeFolders(folder.substr(0, cut))) return e;
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    return 0;
}

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

long RegErrorFromErrno(int error) {
    switch (error) {
        case 0: return kRegSuccess;
        case EACCES:
        case EPERM:
        case EROFS: return kRegAccessDenied;
        case ENOSPC:
        case EDQUOT: return kRegDiskFull;
        case ENOENT:
        case ENOTDIR: return kRegNotFound;
        default: return kRegWriteFault;
    }
}

long ReadHiveFile(const std::string& path, std::shared_ptr<const HiveKey>& root) {
    std::string text;
    bool exists = false, tooLarge = false;
    long result = ReadHiveText(path, text, exists, tooLarge);
    if (result != kRegSuccess || !exists) {
        root = std::make_shared<const HiveKey>();
        return result;
    }
    {
        std::lock_guard<std::mutex> g(cacheLock);
        auto it = cache.find(path);
        if (!tooLarge && it != cache.end() && it->second.text == text) {
            root = it->second.root;
            return kRegSuccess;
        }
    }
    auto fresh = std::make_shared<HiveKey>();
    bool bad = false;
    ParseOrReport(path, text, tooLarge, *fresh, bad);
    root = fresh;
    if (!tooLarge) {
        std::lock_guard<std::mutex> g(cacheLock);
        cache[path] = CachedHive{std::move(text), fresh};
    }
    return kRegSuccess;
}

long UpdateHiveFile(const std::string& path, std::string_view title, const std::function<long(HiveKey&)>& change) {
    if (int e = MakeFolders(FolderOf(path))) return RegErrorFromErrno(e);
    // Without a lock file the write still goes ahead, as it would on a
    // system without the lock service; it stays atomic, only a concurrent
    // writer's change could be lost.
    FileLock lock(path);
    FileLockGuard hold(lock);

    std::string oldText;
    bool exists = false, tooLarge = false, bad = false;
    if (long result = ReadHiveText(path, oldText, exists, tooLarge)) return result;
    HiveKey root;
    if (exists) ParseOrReport(path, oldText, tooLarge, root, bad);
    if (long result = change(root)) return result;
    std::string text = FormatHiveText(root, title);
    // A change that leaves the file as it is (a value written again with
    // the data it has) costs no write and no flush to the disk.
    const bool unchanged = exists && !bad && text == oldText;
    // A file beyond the reader's limit would read back as invalid.
    if (text.size() > kMaxHiveFileBytes) return kRegNoResources;

    if (bad) {
        std::string backup = BackupName(path);
        if (rename(path.c_str(), backup.c_str()) != 0) {
            int e = errno;
            std::fprintf(stderr, "Dravik: settings file %s is not valid and could not be kept as %s (%s); not written\n",
                         path.c_str(), backup.c_str(), ErrorText(e).c_str());
            return RegErrorFromErrno(e);
        }
        std::fprintf(stderr, "Dravik: settings file %s was not valid; kept it as %s and started a new one\n",
                     path.c_str(), backup.c_str());
    }
    if (!unchanged)
        if (int e = WriteFileAtomically(path, text)) return RegErrorFromErrno(e);

    std::lock_guard<std::mutex> g(cacheLock);
    cache[path] = CachedHive{std::move(text), std::make_shared<const HiveKey>(std::move(root))};
    return kRegSuccess;
}

bool CanWriteHiveFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && access(path.c_str(), W_OK) != 0) return false;
    // The rename that replaces the file needs the folder; a missing folder
    // is created in the nearest existing one.
    std::string folder = FolderOf(path);
    while (stat(folder.c_str(), &st) != 0) {
        if (folder == "/" || folder == ".") return false;
        folder = FolderOf(folder);
    }
    return S_ISDIR(st.st_mode) && access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace dravik::platform
