// English texts of the program's messages, button labels and status lines.
// The printf conversions of each text must match the arguments its callers
// pass (the message catalogue of program/messages lists them; a test checks
// every text against it).
#include "langres/string_table.h"

namespace dravik::langres {

namespace {
// Sorted by id.
constexpr StringEntry kProgramMessages[] = {
    {102, "No drive is selected.\n"
          "Choose a drive with Select Drive, then try again."},
    {103, "No CD drive was found.\n"
          "Check that the drive is connected and switched on and that your user may open it "
          "(usually by belonging to the group that owns /dev/sr0), then start the program again."},
    {107, "The drive %s is not ready.\n"
          "Insert the disc, wait until the drive has stopped spinning up, then start the scan again."},
    {108, "The drive %s does not answer as expected and cannot be used.\n"
          "Check its cable and power, or choose another drive."},
    {111, "There is not enough memory to go on.\n"
          "Close other programs and try again."},
    {113, "A file date could not be shown:\n%s"},
    {114, "Searching track %d block by block for the allocation table, from block %d (%d blocks)"},
    {116, "The search for the disc's allocation table has been running for more than ten minutes.\n"
          "Keep searching? Without an answer within 20 seconds the search goes on."},
    {118, "This command (%d) is not available in this version."},
    {124, "%d tracks in %d sessions."},
    {126, "Audio track (%d:%02d)"},
    {127, "Lead-out at block %d"},
    {128, "Some Joliet file names could not be converted and are shown with replacement characters.\n"
          "The files themselves are not affected."},
    {129, "Reading track %d: ISO 9660 volume %s"},
    {130, "Reading track %d: Joliet volume %s"},
    {131, "The temporary file %s could not be created:\n%s\n"
          "Check that the temporary folder in the options exists and has free space."},
    {155, "The directory of track %d could not be read.\n"
          "The disc may be damaged or dirty there. Clean it and scan again, or try another drive; "
          "files of this track may be missing from the list."},
    {156, "The directory of track %d was found by searching, at block %d.\n"
          "Its file list may be incomplete."},
    {160, "Unrecognised track (%d blocks)"},
    {165, "The Macintosh (HFS) volume on this disc could not be opened.\n"
          "Its files are not listed."},
    {173, "Reading track %d: UDF volume %s"},
    {177, "Reading HFS volume %s"},
    {179, "There is not enough memory for the block map of the UDF scan.\n"
          "Close other programs and scan again."},
    {180, "Lost files"},
    {184, "Searching block %d of %d for lost files: %d found, %d errors"},
    {185, "No files were found in the usual places.\n"
          "Search the whole disc block by block for lost files? This can take a long time."},
    {194, "The drive reports that it holds %s.\n"
          "Only CDs (CD-ROM, CD-R and CD-RW) can be scanned; the scan has stopped."},
    {203, "The first track does not start at the beginning of the disc.\n"
          "The area up to block %d has been added to the track list."},
    {204, "The directory of track %d was found before the start of the track.\n"
          "The disc was probably written with an offset; the files are read with that offset."},
    {206, "Unknown command-line option: %s"},
    {207, "Roland sampler track (%d blocks)"},
    {215, "Cancelling the scan..."},
    {216, "The directory walk of session %d stopped early because the track ends before its "
          "volume does.\nSome files of this session may be missing."},
    {218, "A sector between track %d and track %d could not be read.\n"
          "Go on checking whether the two tracks belong to one volume?"},
    {220, "The UDF file system on this disc is damaged.\n"
          "Yes: read it with the recovery rules.\nNo: skip this step.\nCancel: stop here."},
    {221, "Reading track %d: High Sierra volume %s"},
    {224, "With \"Accept errors\" on, a following track that begins inside the area being read is "
          "read as part of it.\nThe list may then show damaged or mixed-up files."},
    {227, "Blank disc (%d blocks free)"},
    {232, "The file %s continues its list of extents in a block longer than one sector "
          "(code %d.%d).\nThe list is damaged; only the first part of the file can be read."},
    {240, "No way to talk to the drives could be set up, so the program will close.\n"
          "Check that your user may open the drive devices, then start the program again."},
    {241, "%d directory blocks could not be read and were skipped.\n"
          "Some files may be missing. Cleaning the disc or using another drive may help."},
    {242, "Checking the files of track %d for shared blocks"},
    {246, "Looking for entries listed twice"},
    {247, "Looking for entries listed twice among %d items"},
    {248, "Entries listed twice: %d items checked, %d removed"},
    {251, "Searching blocks %d to %d for a lost UDF descriptor"},
    {252, "The UDF file system of track %d looks damaged.\n"
          "Read it anyway?"},
    {253, "A new scan discards the current results.\n"
          "Click OK to scan again, or Cancel to keep them."},
    // Names of the media the drive reports, by 401 + profile number; 499
    // names a profile without a name of its own.
    {402, "a fixed disk"},
    {403, "a removable disk"},
    {404, "an erasable magneto-optical disc"},
    {405, "a write-once optical disc"},
    {406, "an advanced storage magneto-optical disc"},
    {417, "a DVD-ROM"},
    {418, "a DVD-R"},
    {419, "a DVD-RAM"},
    {420, "a DVD-RW (restricted overwrite)"},
    {421, "a DVD-RW (sequential)"},
    {422, "a dual-layer DVD-R"},
    {423, "a dual-layer DVD-R (layer jump)"},
    {427, "a DVD+RW"},
    {428, "a DVD+R"},
    {443, "a dual-layer DVD+RW"},
    {444, "a dual-layer DVD+R"},
    {465, "a BD-ROM"},
    {466, "a BD-R"},
    {467, "a BD-R (random recording)"},
    {468, "a BD-RE"},
    {481, "an HD DVD-ROM"},
    {482, "an HD DVD-R"},
    {483, "an HD DVD-RAM"},
    {499, "a medium this program does not read (profile %d)"},
    // Button labels of the question dialogs, in button order.
    {902, "Yes;No"},
    {903, "Yes;No;Cancel"},
    {1241, "%d track in %d session."},
    {1242, "%d tracks in %d session."},
};
}  // namespace

StringRange ProgramMessageStrings() {
    return {kProgramMessages, sizeof kProgramMessages / sizeof kProgramMessages[0]};
}

}  // namespace dravik::langres
