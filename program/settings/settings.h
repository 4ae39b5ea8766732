// The settings block: the one-byte switches and the temporary folder that
// the scan, the readers and the views read everywhere. The options dialog
// and the command line write it; the registry keeps it between sessions
// (the settings store reads and writes it there).
#pragma once

#include <cstdint>
#include <string>

namespace dravik::settings {

// Answers of the guidance messages: 255 means no answer yet.
constexpr int kGuidanceAnswers = 10;
constexpr std::uint8_t kNoGuidanceAnswer = 255;
// Longest temporary folder kept, in bytes.
constexpr std::size_t kMaxTempPath = 260;

struct Settings {
    // Debug mode, log write-through and allocation tracking live in the
    // debug log's own switches (program/diag/debug_log.h).
    std::uint8_t RemoveVersion = 1;  // the list drops a one-digit ";n" version suffix
    std::uint8_t IgnoreJoliet = 0;   // the ISO reader uses the primary descriptor only
    std::uint8_t CopyPrompt = 0;
    std::uint8_t SavePos = 1;        // window placement kept between sessions
    std::uint8_t SortInitial = 1;    // a directory's list is sorted by name when filled
    std::uint8_t AcceptErrors = 0;   // UDF: a following track inside the read area is read anyway
    std::uint8_t IntensiveScan = 0;  // session only: UDF errors go straight to the block scan
    std::uint8_t IgnoreChecksums = 0;  // command line -C: HFS and UDF checksum errors ignored
    std::uint8_t KeepUDFDups = 0;    // the overlap check keeps duplicate UDF entries
    std::uint8_t AutoStart = 1;      // the last drive is scanned at start without the dialog
    std::uint8_t PromptSuppress = 0;  // set to 1 whenever the settings are read
    std::uint8_t ShowAll = 0;        // the area before the first track and a lone blank area are scanned
    std::uint8_t NoSplash = 0;       // command line -N
    std::uint8_t GuideUser[kGuidanceAnswers] = {kNoGuidanceAnswer, kNoGuidanceAnswer, kNoGuidanceAnswer,
                                                kNoGuidanceAnswer, kNoGuidanceAnswer, kNoGuidanceAnswer,
                                                kNoGuidanceAnswer, kNoGuidanceAnswer, kNoGuidanceAnswer,
                                                kNoGuidanceAnswer};
    std::string TempPath = DefaultTempPath();  // always ends with '/'

    // $TMPDIR (or /tmp) with a trailing '/'.
    static std::string DefaultTempPath();
};

// The program's settings. Written on the user-interface thread (options
// dialog, start-up) or before the scan starts (the CLI); read everywhere.
extern Settings ProgramSettings;

// Back to the defaults of a fresh start.
void ResetSettings();

}  // namespace dravik::settings
