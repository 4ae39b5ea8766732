// Version information compiled into a program file.
//
// Each executable that carries version information has one object, made
// from platform/version_resource.cpp.in by the CMake function
// dravik_add_version_info(target description), that defines the record
//
//     extern "C" const DravikVersionInfo dravik_version_info
//
// and the link exports that one symbol from the executable. Code anywhere in
// the process (also inside libzoltdev.so) finds the main program's record
// with dlopen(nullptr)/dlsym and queries it by the usual sub-block paths,
// e.g. "\StringFileInfo\040904B0\CompanyName". A program linked without the
// object has no version information, and lookups in it find nothing; a
// record that a shared library happens to export is not taken for the
// program's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

extern "C" {

struct DravikVersionString {
    const char* key;
    const char* value;
};

struct DravikVersionInfo {
    uint32_t signature;      // kVersionInfoSignature
    uint32_t layoutVersion;  // 1
    uint16_t fileVersion[4];     // major, minor, patch, build
    uint16_t productVersion[4];
    const char* translation;     // language and code page block, "040904B0"
    const DravikVersionString* strings;
    uint32_t stringCount;
};

}  // extern "C"

namespace dravik::platform {

inline constexpr uint32_t kVersionInfoSignature = 0x44565249;  // "DVRI"
inline constexpr const char* kVersionInfoSymbol = "dravik_version_info";

// The main program's record, or null when the executable carries none.
const DravikVersionInfo* MainProgramVersionInfo();

// A string of a record by sub-block path "\StringFileInfo\<translation>\<key>".
// False when the record is null, the path names another block or the key
// is missing.
bool QueryVersionValue(const DravikVersionInfo* info, std::string_view subBlock, std::string& value);

// The company name this build was made for (the settings folders are named
// after it).
const char* BuildCompanyName();

}  // namespace dravik::platform
