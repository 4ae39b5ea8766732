// The system's zlib, loaded at run time: DirectCD stores compressed files
// as zlib streams, and the program inflates them through the library the
// system has ("libz.so.1") rather than linking it, so a system without it
// still reads every other file. Only the four entry points below are used;
// their types come from <zlib.h>.
#pragma once

#include <zlib.h>

#include <string>

namespace dravik::readers::udf {

// The zlib interface the program was written for. A library whose version
// text starts with the same digit is compatible (zlib's own rule).
constexpr char kZlibVersionWritten[] = "1.1.3";

// Why the module could not be used; the numbers are what the debug log
// shows.
enum class ZlibFailure {
    kNone = -1,
    kNotLoaded = 0,
    kEntryPointMissing = 1,
    kWrongVersion = 2,
    kNoMemory = 3,
    kInitFailed = 4,
};

class ZlibModule {
public:
    ZlibModule() = default;
    ~ZlibModule();
    ZlibModule(const ZlibModule&) = delete;
    ZlibModule& operator=(const ZlibModule&) = delete;

    // Loads the module and looks up its entry points; kNone when usable.
    ZlibFailure Load();

    // Starts `stream` for a zlib-wrapped stream (15-bit window), with this
    // program's size of z_stream.
    int InflateInit(z_stream& stream) const;
    int Inflate(z_stream& stream, int flush) const { return inflate_(&stream, flush); }
    int InflateEnd(z_stream& stream) const { return inflateEnd_(&stream); }

private:
    void Unload();

    void* handle_ = nullptr;
    decltype(&::zlibVersion) zlibVersion_ = nullptr;
    decltype(&::inflateInit2_) inflateInit2_ = nullptr;
    decltype(&::inflate) inflate_ = nullptr;
    decltype(&::inflateEnd) inflateEnd_ = nullptr;
};

// True when a library of version `version` serves a program written for
// `written`.
bool ZlibVersionCompatible(const char* version, const char* written);

namespace test_seams {
// FOR TESTS ONLY: the file name the module is loaded from ("libz.so.1";
// empty restores it). A name that does not exist stands for a system
// without zlib.
void SetZlibModuleName(const std::string& name);
}  // namespace test_seams

}  // namespace dravik::readers::udf
