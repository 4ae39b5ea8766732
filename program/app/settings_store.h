// The program's settings in its registry key: the settings block read at
// start and written when the options dialog is confirmed, the guidance
// answers, the temporary folder, the stored window placement and list
// column widths, and the clean-up of the program's own temporary folder.
// Free of any widget toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "program/settings/settings.h"

namespace dravik::app {

// The application name of the program's key ("Software\<company>\Dravik").
constexpr char kProgramKeyName[] = "Dravik";

// Value names of the program's key.
constexpr char kDebugModeValue[] = "DebugMode";
constexpr char kGuideUserValue[] = "GuideUser";
constexpr char kTempPathValue[] = "TempPath";
constexpr char kWindowPositionValue[] = "SavedWindowPosition";
constexpr char kColumnWidthsValue[] = "ColumnWidths";
constexpr char kListStyleValue[] = "ListStyle";
constexpr char kTreeWidthValue[] = "TreeWidth";
constexpr char kLastDeviceValue[] = "LastDevice";

// The temporary folder asked of the system is cut to this many bytes
// before it is shortened to the settings block's room.
constexpr std::size_t kMaxSystemTempPath = 500;

// The switches the options dialog shows and WriteSettings stores, with
// their registry names, in table order. Debug mode is not among them: it
// lives in the debug log's switches.
struct StoredSwitch {
    const char* value;
    std::uint8_t settings::Settings::*member;
};
const std::array<StoredSwitch, 9>& StoredSwitches();

// Reads every value into settings::ProgramSettings (and a stored debug
// mode into the debug log's switch, never turning it off). Missing values
// and a key that cannot be opened leave the defaults.
void ReadSettings();
// Writes "DebugMode", the nine switches and "GuideUser". "TempPath" is
// never written.
void WriteSettings();

// "GuideUser": pieces "1"/"0" separated by ","; the first ten pieces set
// their answer (nonzero decimal number: 1, anything else 0); answers
// without a piece are 255 (no answer yet).
void ParseGuideUser(const std::string& text, std::uint8_t (&answers)[settings::kGuidanceAnswers]);
// Ten pieces, "1" for any nonzero answer (255 included), else "0".
std::string FormatGuideUser(const std::uint8_t (&answers)[settings::kGuidanceAnswers]);

// The temporary folder as the settings keep it: at most 260 bytes
// (counting the terminator of the original's fixed buffer), ending with
// "/".
std::string NormaliseTempPath(std::string path);

// "SavedWindowPosition": "%d,%d,(%d,%d),(%d,%d).(%d,%d,%d,%d)" with the
// flags, the show state, the minimised and maximised positions and the
// normal rectangle (left, top, right, bottom).
struct WindowPlacement {
    int flags = 0;
    int showState = 1;
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0;
};
std::string FormatWindowPlacement(const WindowPlacement& placement);
// Nothing unless all ten numbers parse and the text ends there.
std::optional<WindowPlacement> ParseWindowPlacement(const std::string& text);

// Show states of a placement.
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowMaximized = 3;

// "ColumnWidths": five numbers "%d,%d,%d,%d,%d". Numbers are taken in
// order until one does not parse; the others keep their defaults. A width
// outside 0..kMaxColumnWidth also keeps its default.
constexpr int kColumnCount = 5;
constexpr int kMaxColumnWidth = 4000;
using ColumnWidths = std::array<int, kColumnCount>;
constexpr ColumnWidths kDefaultColumnWidths = {150, 55, 80, 115, 90};
constexpr char kDefaultColumnWidthsText[] = "150,55,80,115,90";
ColumnWidths ParseColumnWidths(const std::string& text);
std::string FormatColumnWidths(const ColumnWidths& widths);

// Program-key helpers for the views and the drive selection.
std::string ReadProgramString(const char* name, const char* defaultText);
void WriteProgramString(const char* name, const std::string& text);
std::uint32_t ReadProgramNumber(const char* name, std::uint32_t defaultValue);
void WriteProgramNumber(const char* name, std::uint32_t value);

// Deletes every plain file in TempPath + "Dravik" (not its subfolders, not
// the folder); nothing when that folder does not exist.
void RemoveTempFiles();

}  // namespace dravik::app
