// English texts of the views, the options dialog and the drive selection:
// the status lines of the file list, what the options dialog's buttons
// did, and the disc image command.
#include "langres/shell_resources.h"

namespace dravik::langres {

namespace {
// Sorted by id.
constexpr StringEntry kViewStrings[] = {
    {123, "1 file selected: %d bytes, recorded %s"},
    {125, "%d items"},
    {149, "%d files selected: %d bytes in all"},
    {151, "Debug mode is on: every step is written to the log file."},
    {152, "Debug mode is off."},
    {236, "The answers to the guidance questions will be asked again."},
    {261, "The disc image %s cannot be read as a disc:\n%s\n"
          "The drive chosen before stays selected."},
    {40061, "Open a disc image or disc description and read it like a disc in a drive"},
};
}  // namespace

StringRange ViewStrings() { return {kViewStrings, sizeof kViewStrings / sizeof kViewStrings[0]}; }

}  // namespace dravik::langres
