// The three operations on the database file: look a device up, write its
// entry back, and check every entry. Each takes the lock keyed by the
// file's absolute path while the file is open and parses after releasing
// it. An update writes the whole new content to a temporary file and
// renames it over the database, so a failed write or a crash never leaves
// a truncated database.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>

#include "device/ddb/ddb_info.h"
#include "device/ddb/ddb_text.h"
#include "device/test_seams.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"

namespace dravik::device {

using namespace ddb;

namespace {

// A database larger than this is refused as "no memory": real files hold a
// few hundred entries of under 400 characters each.
constexpr off_t kMaxDatabaseBytes = 64 * 1024 * 1024;
// Marks a read that failed for want of memory rather than with an errno.
constexpr int kNoMemory = -1;

std::mutex hookLock;
test_seams::UpdateOpenFaultHook updateOpenFault;

int UpdateOpenFault(const std::string& path) {
    std::lock_guard<std::mutex> guard(hookLock);
    return updateOpenFault ? updateOpenFault(path) : 0;
}

// Reads everything from `fd`; 0, an errno, or kNoMemory.
int ReadAll(int fd, std::string& text) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return errno;
    if (st.st_size > kMaxDatabaseBytes) return kNoMemory;
    try {
        text.clear();
        text.reserve(static_cast<std::size_t>(st.st_size) + 1);
        char chunk[16384];
        for (;;) {
            ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (n == 0) break;
            if (text.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(kMaxDatabaseBytes))
                return kNoMemory;
            text.append(chunk, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    return 0;
}

// The temporary name of an update: the file name with the text after the
// last "." of its name part replaced by "$$$" (".$$$" appended without one).
std::string TemporaryName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return path + ".$$$";
    return path.substr(0, dot + 1) + "$$$";
}

bool IsAccessDenied(int error) { return error == EACCES || error == EPERM || error == EROFS; }

bool IsBlankLine(std::string_view text, std::size_t pos) {
    std::size_t end = ContentEnd(text, pos);
    for (std::size_t i = pos; i < end; ++i)
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\v' && text[i] != '\f') return false;
    return true;
}

std::string Shown(std::string_view text, std::size_t pos) {
    return std::string(text.substr(pos, std::min(ContentEnd(text, pos) - pos, kNameShownChars)));
}

}  // namespace

void test_seams::SetUpdateOpenFaultHook(UpdateOpenFaultHook hook) {
    std::lock_guard<std::mutex> guard(hookLock);
    updateOpenFault = std::move(hook);
}

std::string DDBInfo::ResolvedPath() const {
    char resolved[PATH_MAX];
    if (realpath(fileName_.c_str(), resolved)) return resolved;
    if (!fileName_.empty() && fileName_[0] == '/') return fileName_;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return fileName_;
    return std::string(cwd) + "/" + fileName_;
}

void DDBInfo::Lock() {
    std::string key = ResolvedPath();
    if (!lock_ || lockKey_ != key) {
        lock_ = std::make_unique<dravik::platform::FileLock>(key);
        lockKey_ = key;
    }
    // Without a lock file the operation goes on unlocked, as it would
    // without a semaphore.
    lock_->Acquire();
}

void DDBInfo::Unlock() {
    if (lock_) lock_->Release();
}

bool DDBInfo::ReadDatabase(std::string& text) {
    Lock();
    int fd = open(fileName_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::string error = dravik::platform::ErrorText(errno);
        Message(kMsgCannotOpen, fileName_.c_str(), error.c_str());
        Unlock();
        return false;
    }
    int result = ReadAll(fd, text);
    close(fd);
    Unlock();
    if (result == kNoMemory) {
        Message(kMsgNoMemory);
        return false;
    }
    if (result != 0) {
        std::string error = dravik::platform::ErrorText(result);
        Message(kMsgCannotRead, fileName_.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool DDBInfo::GetDeviceInfo() {
    if (fileName_.empty()) return true;
    std::string text;
    if (!ReadDatabase(text)) return false;

    DeviceNameParts name = SplitDeviceName(deviceName_);
    SectionLookup section = FindSection(text, name.vendor, [&](std::string_view near) {
        Message(kMsgBadEntry, std::string(near).c_str(), name.vendor.c_str());
    });
    if (!section.found) return true;
    EntryLookup entry = FindEntry(text, section.bodyStart, name.product, !noGeneric_, [&](std::string_view near) {
        Message(kMsgBadEntry, std::string(near).c_str(), name.product.c_str());
    });
    if (!entry.found) return true;
    // A generic entry stands in for this drive: the next update writes the
    // drive's own entry.
    if (entry.wildcard) modified_ = true;

    return ParseEntryValues(text, entry.line, name.product);
}

bool DDBInfo::ComposeUpdate(const std::string& old, std::string& updated) const {
    DeviceNameParts name = SplitDeviceName(deviceName_);
    SectionLookup section = FindSection(old, name.vendor, [&](std::string_view near) {
        Message(kMsgBadEntry, std::string(near).c_str(), name.vendor.c_str());
    });
    if (section.found) {
        EntryLookup entry = FindEntry(old, section.bodyStart, name.product, false, [&](std::string_view near) {
            Message(kMsgBadEntry, std::string(near).c_str(), name.product.c_str());
        });
        if (entry.found) {
            std::string values = FormatEntry(nullptr, kUpdateEntryLimit);
            if (values.empty()) return false;
            updated = old.substr(0, entry.line.colon + 1) + values + old.substr(entry.line.next);
            return true;
        }
        std::string line = FormatEntry(name.product.c_str(), kUpdateEntryLimit);
        if (line.empty()) return false;
        updated = old.substr(0, section.bodyStart);
        // A header on the file's last line may lack its line end.
        if (!updated.empty() && updated.back() != '\n') updated += "\r\n";
        updated += line;
        updated += old.substr(section.bodyStart);
        return true;
    }
    std::string line = FormatEntry(name.product.c_str(), kUpdateEntryLimit);
    if (line.empty()) return false;
    updated = old + "\r\n[" + name.vendor + "]\r\n" + line;
    return true;
}

bool DDBInfo::UpdateDeviceInfo() {
    if (fileName_.empty()) return false;
    if (!modified_) return true;

    const std::string target = ResolvedPath();
    const std::string temporary = TemporaryName(target);
    Lock();
    int fd = -1;
    int openError = UpdateOpenFault(target);
    if (openError == 0) {
        // Opening for writing tells whether this user may change the file.
        fd = open(fileName_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) openError = errno;
    }
    if (fd < 0) {
        if (!IsAccessDenied(openError)) {
            std::string error = dravik::platform::ErrorText(openError);
            Message(kMsgCannotOpen, fileName_.c_str(), error.c_str());
        }
        Unlock();
        return false;
    }

    std::string old;
    int readResult = ReadAll(fd, old);
    bool ok = false;
    if (readResult == kNoMemory) {
        Message(kMsgNoMemory);
    } else if (readResult != 0) {
        std::string error = dravik::platform::ErrorText(readResult);
        Message(kMsgCannotRead, fileName_.c_str(), error.c_str());
    } else {
        std::string updated;
        if (ComposeUpdate(old, updated)) {
            int writeError = dravik::platform::WriteFileAtomically(target, updated, temporary);
            if (writeError != 0) {
                std::string error = dravik::platform::ErrorText(writeError);
                Message(kMsgCannotWrite, temporary.c_str(), error.c_str());
            } else {
                ok = true;
            }
        }
    }
    close(fd);
    Unlock();
    return ok;
}

bool DDBInfo::ParseEntryValues(std::string_view text, const EntryLine& line, const std::string& product) {
    if (!ParseValueList(text.substr(line.colon + 1, line.valueEnd - line.colon - 1), product)) return false;
    // NoMode10 wins over Mode10 wherever it stands in the list.
    if (values_[kNoMode10]) values_[kMode10] = 0;
    return true;
}

bool DDBInfo::AnalyzeDatabase() {
    analysis_ = {};
    if (fileName_.empty()) return true;
    std::string buffer;
    if (!ReadDatabase(buffer)) return false;
    const std::string_view text = buffer;

    auto failed = [&](const std::string& device) {
        ++analysis_.failures;
        std::string line = "Error returned for device " + device;
        Message(0, line.c_str());
    };

    // Each entry is parsed where it stands rather than looked up by name:
    // a lookup would stop at an earlier wildcard or duplicate entry and
    // never check the later one, and a long vendor and product would not
    // fit the 26-character device name.
    bool inBadSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] != '[') {
            if (!inBadSection && !IsBlankLine(text, pos) && text[pos] != '#') {
                // Text outside any section is never read by a lookup.
                std::string near = Shown(text, pos);
                Message(kMsgBadEntry, near.c_str(), "");
                failed(near);
            }
            pos = NextLine(text, pos);
            continue;
        }
        SectionHeader header = ReadSectionHeader(text, pos);
        if (!header.valid) {
            std::string near(header.name);
            Message(kMsgBadEntry, near.c_str(), near.c_str());
            failed(near);
            inBadSection = true;
            pos = NextLine(text, pos);
            continue;
        }
        inBadSection = false;
        ++analysis_.sections;
        const std::string section(header.name);
        std::size_t at = header.bodyStart;
        for (;;) {
            EntryLine line = NextEntryLine(text, at);
            if (line.kind == EntryLine::End) {
                pos = line.lineStart;
                break;
            }
            at = line.next;
            ++analysis_.entries;
            std::string product(line.Name(text));
            if (line.kind == EntryLine::NoColon || product.size() > kMaxNameChars) {
                std::string near = Shown(text, line.lineStart);
                Message(kMsgBadEntry, near.c_str(), section.c_str());
                failed(section + " " + near);
                continue;
            }
            std::string device = section + " " + product;
            // The device name a lookup of this entry would use: a wildcard
            // name gets a letter so that it goes the wildcard path.
            SetDeviceName((device + (!product.empty() && product.back() == '*' ? "X" : "")).c_str());
            if (!ParseEntryValues(text, line, product)) failed(device);
        }
    }
    return analysis_.failures == 0;
}

}  // namespace dravik::device
