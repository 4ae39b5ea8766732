// Where the tests find the build tree (bin/, Shared/) and the sources.
// The environment (set by ctest) wins over the folders compiled in.
#pragma once

#include <cstdlib>
#include <string>

namespace dravik::test {

inline std::string BuildDir() {
    const char* env = std::getenv("DRAVIK_BUILD_DIR");
    if (env && *env) return env;
#ifdef DRAVIK_TEST_BUILD_DIR
    return DRAVIK_TEST_BUILD_DIR;
#else
    return ".";
#endif
}

inline std::string SourceDir() {
    const char* env = std::getenv("DRAVIK_SOURCE_DIR");
    if (env && *env) return env;
#ifdef DRAVIK_TEST_SOURCE_DIR
    return DRAVIK_TEST_SOURCE_DIR;
#else
    return ".";
#endif
}

}  // namespace dravik::test
