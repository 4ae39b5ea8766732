// English texts of the main window: one text per command id (shown in the
// status bar while the entry is hovered or the command runs, and as the
// toolbar button's tip, so each fits in 100 characters), the status bar's
// parts and the views' popup entries.
#include "langres/shell_resources.h"

namespace dravik::langres {

namespace {
// Sorted by id.
constexpr StringEntry kShellStrings[] = {
    {99, "Save the selected folder and everything in it to another place"},
    {169, "No drive selected"},
    {901, "Open the help pages in your web browser"},
    {904, "Name;Start;Size;Date"},
    {1006, "%s  %s"},
    {1101, "Debug mode is on: every step is written to the log file"},
    {1102, "Special reading options are on (Joliet names ignored or block-by-block search)"},
    {10000, "&Save Selected Files..."},
    {11000, "Save &Folder..."},
    {40001, "Show the files as large icons"},
    {40002, "Show the files as small icons"},
    {40003, "Show the files as a list of names"},
    {40004, "Show the files with their start block, size and date"},
    {40009, "Change how discs are read and how the program behaves"},
    {40010, "Save the selected files to another place"},
    {40015, "Read the disc in the selected drive again"},
    {40016, "Look for a newer version of the program on the web"},
    {40018, "Choose the drive to read"},
    {40019, "Read the disc again"},
    {40020, "Copy the selected files to another place"},
    {40024, "Show the files as large icons"},
    {40025, "Show the files as small icons"},
    {40026, "Show the files as a list of names"},
    {40027, "Show the files with their start block, size and date"},
    {40036, "Show what the drive reports about the disc"},
    {40038, "Open the drive's tray"},
    {40039, "Close the drive's tray and read the disc"},
    {40049, "Choose how the files are shown"},
    {51682, "Close the program"},
    {51683, "Show the program's version"},
    {51685, "Choose the drive to read"},
};
}  // namespace

StringRange ShellStrings() { return {kShellStrings, sizeof kShellStrings / sizeof kShellStrings[0]}; }

}  // namespace dravik::langres
