#include "program/messages/message_catalog.h"

#include <algorithm>

namespace dravik::messages {

namespace {
// Sorted by id.
constexpr MessageSpec kMessages[] = {
    {102, 0, "", "a command or the drive dialog needs a selected drive and none is selected"},
    {103, 0, "", "the drive list is empty"},
    {107, 0, "s", "the selected drive (name) is not ready when a scan is to start"},
    {108, 0, "s", "the drive (name) picked in the drive dialog fails its check"},
    {111, 0, "", "a tracked allocation failed"},
    {113, 0, "s", "a file date could not be formatted (system error text)"},
    {116, 0x8004, "", "the intensive VAT search has run for ten minutes; Yes continues"},
    {118, 0, "d", "a command (id) that this version does not offer"},
    {124, 0, "dd", "status line after a scan: tracks other than the lead-out, the last session"},
    {126, 0, "dd", "label of an audio track without a title: minutes, seconds"},
    {127, 0, "d", "label of the lead-out: its start block"},
    {128, 0, "", "some Joliet names could not be converted"},
    {131, 0, "ss", "a temporary file (name) could not be created (system error text)"},
    {155, 0, "d", "a track's (number) directory could not be read"},
    {156, 0, "dd", "a directory of a track (number) was located by scanning (block)"},
    {160, 0, "d", "label of a data track no reader recognised: its length in blocks"},
    {165, 0, "", "an HFS volume could not be opened"},
    {179, 0, "", "no memory for the block map of the UDF scan"},
    {185, 0x104, "", "asks whether to run the intensive block scan"},
    {194, 0, "s", "the drive holds a medium (its name) that the scan does not read"},
    {203, 0, "d", "the area before the first track (last block) is added to the track list"},
    {204, 0, "d", "a directory was found before the track (number) start"},
    {206, 0, "s", "an unknown command-line option (text)"},
    {207, 0, "d", "label of a sampler track: its length in blocks"},
    {216, 0, "d", "an ISO 9660 walk ended under a track condition (session number)"},
    {218, 4, "dd", "a continuation-check sector between two tracks (numbers) could not be read"},
    {220, 3, "", "a three-way question of the UDF reader"},
    {224, 0, "", "the options dialog accepted with errors accepted"},
    {227, 0, "d", "label of a blank disc: its capacity in blocks"},
    {232, 0, "sdd", "a file's (display path) continuation extent is longer than 2048 bytes (14, 5)"},
    {240, 0, "", "no device interface could be initialised"},
    {241, 0, "d", "directory blocks (count) could not be read and were skipped"},
    {252, 4, "d", "a per-track (number) question of the UDF reader"},
    {253, 0x101, "", "confirmation before a rescan"},
    {261, 0, "ss", "a disc image (path) cannot be served as a drive (reason)"},
    {402, 0, "", "name of the medium of profile 1, shown in message 194"},
    {403, 0, "", "name of the medium of profile 2, shown in message 194"},
    {404, 0, "", "name of the medium of profile 3, shown in message 194"},
    {405, 0, "", "name of the medium of profile 4, shown in message 194"},
    {406, 0, "", "name of the medium of profile 5, shown in message 194"},
    {417, 0, "", "name of the medium of profile 16, shown in message 194"},
    {418, 0, "", "name of the medium of profile 17, shown in message 194"},
    {419, 0, "", "name of the medium of profile 18, shown in message 194"},
    {420, 0, "", "name of the medium of profile 19, shown in message 194"},
    {421, 0, "", "name of the medium of profile 20, shown in message 194"},
    {422, 0, "", "name of the medium of profile 21, shown in message 194"},
    {423, 0, "", "name of the medium of profile 22, shown in message 194"},
    {427, 0, "", "name of the medium of profile 26, shown in message 194"},
    {428, 0, "", "name of the medium of profile 27, shown in message 194"},
    {443, 0, "", "name of the medium of profile 42, shown in message 194"},
    {444, 0, "", "name of the medium of profile 43, shown in message 194"},
    {465, 0, "", "name of the medium of profile 64, shown in message 194"},
    {466, 0, "", "name of the medium of profile 65, shown in message 194"},
    {467, 0, "", "name of the medium of profile 66, shown in message 194"},
    {468, 0, "", "name of the medium of profile 67, shown in message 194"},
    {481, 0, "", "name of the medium of profile 80, shown in message 194"},
    {482, 0, "", "name of the medium of profile 81, shown in message 194"},
    {483, 0, "", "name of the medium of profile 82, shown in message 194"},
    {499, 0, "d", "name of a medium whose profile (number) has no name of its own"},
    {1241, 0, "dd", "status line after a scan of one track in one session: 1, 1"},
    {1242, 0, "dd", "status line after a scan of several tracks in one session: tracks, 1"},
    {3000, 0, "d", "ASPI start: mismatched components (status)"},
    {3001, 0, "d", "ASPI start: no devices (status)"},
    {3002, 0, "d", "ASPI start: no drivers (status)"},
    {3003, 0, "d", "ASPI start: other status (status)"},
    {3004, 0, "s", "the ASPI module could not be loaded (system text)"},
    {3005, 0, "s", "ASPI could not be initialised (formatted 3000-3003)"},
    {3006, 0, "ds", "setting a time-out failed (error, device); never sent"},
    {3007, 0, "dss", "a read failed (block, device id, sense text)"},
    {3008, 0, "sds", "a mode select failed (device id, opcode, sense text)"},
    {3009, 0, "dss", "a TOC read failed (mode, device id, sense text)"},
    {3010, 0, "s", "no medium in the device (name); never sent"},
    {3011, 0, "ssd", "a device could not be opened (path, system text, code)"},
    {3012, 0, "s", "a device needs administrator rights (path)"},
    {3013, 0, "sd", "the VxD could not be opened (system text, code)"},
    {3014, 0, "ss", "the kernel driver could not be opened (name, system text)"},
    {3015, 0, "s", "the kernel driver is not present (name)"},
    {3201, 0, "ss", "a bad line in the device database (text near the error, product or vendor)"},
    {3203, 0, "ss", "the device database cannot be opened (file name, system text)"},
    {3205, 0, "ss", "the device database cannot be read (file name, error text)"},
    {3206, 0, "", "no memory for the device database"},
    {3207, 0, "ss", "the updated device database cannot be written (temporary name, error text)"},
};
constexpr std::size_t kMessageCount = sizeof kMessages / sizeof kMessages[0];

bool Fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}
}  // namespace

const MessageSpec* FindMessageSpec(unsigned id) {
    const MessageSpec* end = kMessages + kMessageCount;
    const MessageSpec* at =
        std::lower_bound(kMessages, end, id, [](const MessageSpec& m, unsigned v) { return m.id < v; });
    return (at != end && at->id == id) ? at : nullptr;
}

const MessageSpec* MessageSpecs(std::size_t& count) {
    count = kMessageCount;
    return kMessages;
}

int MessageIdWithFlags(unsigned id) {
    const MessageSpec* entry = FindMessageSpec(id);
    unsigned flags = entry ? entry->flags : 0;
    return static_cast<int>((flags << 16) | (id & 0xFFFF));
}

bool FormatArguments(std::string_view format, std::string& letters, std::string* why) {
    letters.clear();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        std::size_t start = i++;
        if (i < format.size() && format[i] == '%') continue;
        while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) ++i;
        std::size_t digits = i;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        if (i < format.size() && format[i] == '$' && i > digits)
            return Fail(why, "positional argument at offset " + std::to_string(start));
        if (i < format.size() && format[i] == '*') return Fail(why, "'*' width at offset " + std::to_string(start));
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (i < format.size() && format[i] == '*')
                return Fail(why, "'*' precision at offset " + std::to_string(start));
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
        }
        if (i >= format.size()) return Fail(why, "a '%' without a conversion at the end");
        char conversion = format[i];
        if (std::string_view("diuxXoc").find(conversion) != std::string_view::npos) {
            letters += 'd';
        } else if (conversion == 's') {
            letters += 's';
        } else {
            return Fail(why, std::string("conversion '") + conversion + "' at offset " + std::to_string(start));
        }
    }
    return true;
}

bool FormatFitsArguments(std::string_view format, std::string_view arguments, std::string* why) {
    std::string letters;
    if (!FormatArguments(format, letters, why)) return false;
    if (letters.size() > arguments.size())
        return Fail(why, "the text uses " + std::to_string(letters.size()) + " arguments, its callers pass " +
                             std::to_string(arguments.size()));
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (letters[i] != arguments[i])
            return Fail(why, "argument " + std::to_string(i + 1) + " is formatted as '" + letters[i] +
                                 "' but passed as '" + arguments[i] + "'");
    }
    return true;
}

}  // namespace dravik::messages
