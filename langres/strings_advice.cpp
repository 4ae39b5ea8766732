// English texts of the about box and of the advice shown after a scan.
// The advice topics are plain text; the window turns web and mail
// addresses into links. Their placeholders: %n the product, %c the maker,
// %e the support address, %p the sales phone (empty unless the settings
// name one, so the texts here leave it out), %s the sales address.
#include "langres/shell_resources.h"

namespace dravik::langres {

namespace {
// Sorted by id.
constexpr StringEntry kAdviceStrings[] = {
    {122, "Version %s\n"
          "Device library interface %s"},
    {1301, "This disc holds only audio tracks.\n\n"
           "%n recovers files from data tracks; music tracks have no files to copy. "
           "To save the music, use a program that copies audio CDs.\n\n"
           "If the disc should hold files, it may have been written by a program that "
           "records data as audio, or the drive may not read its data area: try another drive."},
    {1302, "A data track was found, but none of its file systems could be read.\n\n"
           "The track may be damaged, written in a format %n does not know, or only partly "
           "recorded. Open Tools > Options and turn on \"Search block by block at once after "
           "UDF errors\", then scan again: files whose folders are lost are then listed under "
           "\"Lost files\".\n\n"
           "If that finds nothing, write to %e with the drive's name and what wrote the disc."},
    {1303, "The disc looks blank: no track holds recorded data.\n\n"
           "A disc that was erased or never finished can still hold files behind its blank "
           "areas. Open Tools > Options, turn on \"Show all areas\" and \"Search block by "
           "block at once after UDF errors\", then scan again.\n\n"
           "Some drives report a disc as blank when they cannot read it at all: try the disc "
           "in another drive before you write anything to it."},
    {1305, "Some files are listed in the disc's folders, but their data lies beyond the end of "
           "what was recorded. They are marked as missing in the list.\n\n"
           "This happens when writing stopped before the end (a failed burn, an unclosed "
           "session, a cut-short disc image). The files before that point are whole and can "
           "be copied; the missing ones cannot be recovered from this disc."},
    {1306, "To copy files, select them in the list (or a folder in the tree) and choose File > "
           "Copy Files To... (Ctrl+S). Files of older sessions, which the operating system no "
           "longer shows, are copied the same way: each session has its own folder in the "
           "tree.\n\n"
           "Copy to your hard disk, never back to the disc you are recovering from."},
    {1307, "This disc was written by packet-writing software (UDF): files were added to it "
           "one at a time, like on a floppy disk.\n\n"
           "%n has read its file tables. Folders named \"Lost files\" hold files whose folder "
           "could not be found; their names may be replaced by numbers."},
    {1308, "A packet-written disc keeps older versions of its file tables. When files look out "
           "of date or are missing, each session shown in the tree may hold another version of "
           "them: look through them all before you give up on a file.\n\n"
           "Questions about your disc: %e. Other programs from %c: %s."},
};
}  // namespace

StringRange AdviceStrings() { return {kAdviceStrings, sizeof kAdviceStrings / sizeof kAdviceStrings[0]}; }

}  // namespace dravik::langres
