// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes out of scope.
#pragma once

#include <string>
#include <string_view>

namespace dravik::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string File(std::string_view name) const;
    // Writes `content` to File(name) and returns that path.
    std::string Write(std::string_view name, std::string_view content) const;
    // The content of File(name); empty when it cannot be read.
    std::string Read(std::string_view name) const;

private:
    std::string path_;
};

}  // namespace dravik::test
