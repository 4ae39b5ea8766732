// Names read from a disc become names of files in the user's folder. A
// disc is input from a stranger: its names may hold "/", "..", control
// characters or more bytes than a Linux file name may have. Every name is
// made into one safe path component here before anything is created.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace dravik::extract {

// Longest file name Linux folders take (NAME_MAX).
constexpr std::size_t kMaxSafeNameBytes = 255;
// An extension up to this long survives the shortening of a long name.
constexpr std::size_t kMaxKeptExtensionBytes = 16;

struct SafeName {
    std::string name;
    // The disc's name had to be changed for safety (not for the ISO
    // version number, which is always dropped).
    bool rewritten = false;
};

// The disc name without its ISO 9660 version (";1"), and without the dot
// an ISO name without extension keeps before it ("README.;1" -> "README").
std::string_view WithoutIsoVersion(std::string_view name);

// One safe path component: never empty, ".", "..", never holds "/" or a
// control character (those become "_"), at most kMaxSafeNameBytes bytes
// (cut on a UTF-8 character boundary, keeping a short extension).
SafeName MakeSafeName(std::string_view discName);

// Names already given in one output folder; a second item whose safe name
// is taken gets "~2", "~3", ... before its extension.
class FolderNames {
public:
    // The name to use for `wanted`; `renamed` is set when it had to change.
    std::string Claim(const std::string& wanted, bool& renamed);

private:
    std::set<std::string> taken_;
};

}  // namespace dravik::extract
