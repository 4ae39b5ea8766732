// English texts of the device library's messages (3000-3015) and of the
// device database's messages (3201-3207). The device library's texts are
// its own fixed wording; the database texts say what to try.
#include "langres/string_table.h"

namespace dravik::langres {

namespace {
// Sorted by id.
constexpr StringEntry kDeviceMessages[] = {
    {3000, "There are mismatched versions of ASPI modules on your system."},
    {3001, "There are no devices available to ASPI.  Could a device be disconnected?"},
    {3002, "No ASPI drivers appear to be present on this system."},
    {3003, "Error code 0x0%x was returned by ASPI."},
    {3004, "Unable to load WNASPI32.DLL: %s"},
    {3005, "An error occurred initializing ASPI\n\n%s"},
    {3006, "The error 0x0%x was returned setting a timeout value for the %s device."},
    {3007, "Error reading sector %d from %s\n%s"},
    {3008, "Mode Select error from %s\nCmd=%02x, %s"},
    {3009, "Error reading TOC (mode 0x%x) from %s\n%s"},
    {3010, "There is no media in the %s device.\nPlease replace the media and click OK to continue."},
    {3011, "Error accessing %s\n%s (%d)"},
    {3012, "Unable to access %s - You must have administrator privileges."},
    {3013, "Error initializing ZOLTVXD: %s (%d)"},
    {3014, "Error opening %s - %s"},
    {3015, "%s could not be loaded.\nPlease restart your computer to pick up the new driver"},
    {3201, "The device database has an error near \"%s\" in the entry for %s.\n"
           "The entry is ignored and the drive is used with its default settings. "
           "Correcting or removing that line in ASPIDEV.DDB fixes this."},
    {3203, "The device database %s could not be opened:\n%s\n"
           "Drives are used with their default settings. Check that the file exists and may be read."},
    {3205, "The device database %s could not be read:\n%s\n"
           "Drives are used with their default settings."},
    {3206, "There is not enough memory to read the device database.\n"
           "Close other programs and try again."},
    {3207, "The updated device database could not be written to %s:\n%s\n"
           "The database is unchanged. Check the free space and the rights of its folder."},
};
}  // namespace

StringRange DeviceMessageStrings() {
    return {kDeviceMessages, sizeof kDeviceMessages / sizeof kDeviceMessages[0]};
}

}  // namespace dravik::langres
