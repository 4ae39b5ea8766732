// The folders and files extraction creates. Everything is created relative
// to an open folder handle and never through a symbolic link, so a link
// already lying in the target folder cannot lead a disc's names outside
// it. A file is written under a temporary name in its folder and takes its
// real name only when it is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace dravik::extract {

class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(int fd) : fd_(fd) {}
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // The user's target folder, created (with its parents) when missing.
    // Returns 0 or an errno.
    static int OpenTarget(const std::string& path, FolderHandle& out);
    // The folder `name` (one safe component) inside this one, created when
    // missing; a link or a file of that name is refused (ENOTDIR).
    int OpenChild(const std::string& name, FolderHandle& out, bool& created) const;
    // True when anything (a file, a folder, a link) has this name here.
    bool Has(const std::string& name) const;
    // Sets the modification and access times of the entry `name` (not
    // following a link). Returns 0 or an errno.
    int SetTimes(const std::string& name, std::time_t when) const;
    // Makes the symbolic link `name` pointing at `target` exactly as given
    // (never looked at or followed). With `overwrite`, an entry of that
    // name that is not a folder is replaced. Returns 0 or an errno (EEXIST
    // when something of that name is kept).
    int MakeLink(const std::string& name, const std::string& target, bool overwrite) const;

private:
    int fd_ = -1;
};

// A file being written: created under a temporary name that no disc name
// can take over (O_EXCL), renamed to its real name by Commit, removed when
// it goes out of scope uncommitted.
class PartFile {
public:
    PartFile() = default;
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    int Create(const FolderHandle& folder);
    int Write(const std::uint8_t* data, std::size_t length);
    // Flushes the file to disk, sets its times when `when` is given, and
    // renames it to `name`; with `overwrite` off an existing entry of that
    // name is kept and EEXIST returned.
    int Commit(const std::string& name, bool overwrite, std::optional<std::time_t> when);
    void Discard();

private:
    const FolderHandle* folder_ = nullptr;
    int fd_ = -1;
    std::string tempName_;
    std::uint64_t written_ = 0;
};

}  // namespace dravik::extract
