// The debug log: a plain-text file beside the program with one time-stamped
// line per event and titled hex dumps. Every entry opens, appends to and
// closes the file under LogLock, so the log survives a crash and entries
// from several threads never mix.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

namespace dravik::diag {

// Process-wide switches, all off at start. Callers test DebugMode before
// calling the writers; the writers themselves do not.
extern std::atomic<bool> DebugMode;
extern std::atomic<bool> LogWriteThrough;   // open the log with O_DSYNC; also turns on sector dumps
extern std::atomic<bool> TrackAllocations;  // guard and log every tracked allocation

// Held by whoever has the log file open.
extern std::mutex LogLock;

constexpr char kLogPathVariable[] = "DRAVIK_DEBUG_LOG";

// A line, time stamp included, holds at most this many characters (CR LF
// not counted); longer text is cut.
constexpr std::size_t kMaxLogLine = 600;
// At most this many bytes of one dump are written.
constexpr std::size_t kMaxDumpBytes = 8192;
// What a dump of length 0 or less shows.
constexpr int kDefaultDumpBytes = 256;

// printf-style line with a time stamp. Conversions: %d %i %u %x %X %c %s
// with flags, width and precision, as the C library formats them.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Dump banner and the hex dump of `length` bytes (256 when 0 or negative;
// the caller's buffer must then hold 256 bytes). Cut at 8192 bytes.
void DebugDump(const void* buffer, int length, const char* title);
// Sector banner and the hex dump of 2048 bytes.
void DebugDumpSector(const void* buffer, int sector, const char* title);

// Writes one entry of already formatted text under the lock: each piece is
// written as given and the entry ends with CR LF. Used by the writers above
// and by the version banner.
void WriteLogEntry(const std::string& text);

// "hh:mm:ss.mmm " of the local time now.
std::string LogTimeStamp();

// Where the log goes. The default is worked out once: the environment
// variable DRAVIK_DEBUG_LOG when it is set, else from the program's own path
// (see LogPathForProgram); tests and front ends may set another.
void SetLogPath(std::string path);
std::string LogPath();

// The program's path with the extension of its file name replaced by "DBG"
// (".DBG" appended when the name has none) when the program's folder is
// writable; else the same file name under `stateHome`/dravik/ (the folder
// is created). An empty program path gives "DRAVIK.DBG" in the current
// directory. `stateHome` empty means $XDG_STATE_HOME or ~/.local/state.
std::string LogPathForProgram(const std::string& programPath, const std::string& stateHome = {});

// The path of the running executable (/proc/self/exe), empty when unknown.
std::string ProgramPath();

}  // namespace dravik::diag
