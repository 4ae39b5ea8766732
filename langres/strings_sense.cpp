// Sense texts: string 8000 + additional sense code (ASC), for the codes a CD
// or DVD drive reports. They are shown after a failed command, followed by
// the raw sense bytes, so they stay short; where the user can do something
// about the condition the text says what.
#include "langres/string_table.h"

namespace dravik::langres {

namespace {
// Sorted by id.
constexpr StringEntry kSenseTexts[] = {
    {8000 + 0x00, "No error (\?\?\?)"},  // escaped so it is not read as a trigraph
    {8000 + 0x01, "No index or sector signal"},
    {8000 + 0x02, "No seek complete"},
    {8000 + 0x03, "Write fault"},
    {8000 + 0x04, "Unit not ready"},
    {8000 + 0x05, "Drive does not respond to selection"},
    {8000 + 0x06, "No position reference found"},
    {8000 + 0x07, "Multiple devices selected"},
    {8000 + 0x08, "Drive communication failure - check the cable"},
    {8000 + 0x09, "Track following error - the disc may be scratched or dirty"},
    {8000 + 0x0A, "Error log overflow"},
    {8000 + 0x0B, "Warning from the drive"},
    {8000 + 0x0C, "Write error"},
    {8000 + 0x10, "ID CRC or ECC error - the disc may be damaged"},
    {8000 + 0x11, "Unrecoverable read error"},
    {8000 + 0x12, "Address mark not found for ID field"},
    {8000 + 0x13, "Address mark not found for data field"},
    {8000 + 0x14, "Recorded data not found"},
    {8000 + 0x15, "Positioning error"},
    {8000 + 0x16, "Data synchronisation mark error"},
    {8000 + 0x17, "Data recovered with retries"},
    {8000 + 0x18, "Data recovered with error correction"},
    {8000 + 0x19, "Defect list error"},
    {8000 + 0x1A, "Parameter list length error"},
    {8000 + 0x1B, "Synchronous data transfer error"},
    {8000 + 0x1C, "Defect list not found"},
    {8000 + 0x1D, "Miscompare during verify"},
    {8000 + 0x20, "Command not supported"},
    {8000 + 0x21, "Block past end of recording on media"},
    {8000 + 0x22, "Illegal function"},
    {8000 + 0x24, "Command not accepted"},
    {8000 + 0x25, "Logical unit not supported"},
    {8000 + 0x26, "Invalid data for command"},
    {8000 + 0x27, "Disc is write protected"},
    {8000 + 0x28, "Disc may have been changed"},
    {8000 + 0x29, "Drive was reset or powered on"},
    {8000 + 0x2A, "Drive parameters changed"},
    {8000 + 0x2C, "Command sequence error"},
    {8000 + 0x2E, "Insufficient time for operation"},
    {8000 + 0x2F, "Commands cleared by another program"},
    {8000 + 0x30, "Incompatible disc - the drive cannot read this kind of disc"},
    {8000 + 0x31, "Disc format corrupted"},
    {8000 + 0x32, "No defect spare location available"},
    {8000 + 0x34, "Enclosure failure"},
    {8000 + 0x35, "Enclosure services failure"},
    {8000 + 0x37, "Rounded parameter"},
    {8000 + 0x39, "Saving parameters not supported"},
    {8000 + 0x3A, "No disc in the drive - insert a disc"},
    {8000 + 0x3B, "Sequential positioning error"},
    {8000 + 0x3D, "Invalid bits in identify message"},
    {8000 + 0x3E, "Drive has not finished starting up - wait and try again"},
    {8000 + 0x3F, "Drive operating conditions have changed"},
    {8000 + 0x40, "Drive diagnostic failure"},
    {8000 + 0x43, "Message error"},
    {8000 + 0x44, "Internal drive failure"},
    {8000 + 0x45, "Select or reselect failure"},
    {8000 + 0x46, "Unsuccessful soft reset"},
    {8000 + 0x47, "Parity error on the bus - check the cable"},
    {8000 + 0x48, "Initiator detected error message received"},
    {8000 + 0x49, "Invalid message error"},
    {8000 + 0x4A, "Command phase error"},
    {8000 + 0x4B, "Data phase error"},
    {8000 + 0x4C, "Drive failed self-configuration"},
    {8000 + 0x4E, "Overlapped commands attempted"},
    {8000 + 0x51, "Erase failure"},
    {8000 + 0x53, "Disc load or eject failed"},
    {8000 + 0x55, "Drive resource failure"},
    {8000 + 0x57, "Unable to recover the table of contents"},
    {8000 + 0x5A, "Operator request or state change"},
    {8000 + 0x5B, "Log exception"},
    {8000 + 0x5D, "Drive failure predicted"},
    {8000 + 0x5E, "Drive is in a low power condition"},
    {8000 + 0x63, "End of user area encountered on this track"},
    {8000 + 0x64, "Drive unable to recognize sector"},
    {8000 + 0x65, "Voltage fault"},
    {8000 + 0x6F, "Read of scrambled sector not allowed"},
    {8000 + 0x72, "Session fixation error"},
    {8000 + 0x73, "CD control error"},
};
}  // namespace

StringRange SenseStrings() {
    return {kSenseTexts, sizeof kSenseTexts / sizeof kSenseTexts[0]};
}

}  // namespace dravik::langres
