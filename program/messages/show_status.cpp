#include "program/messages/show_status.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/utf8_text.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/port/shell_port.h"

namespace dravik::messages {

namespace {

struct StatusArguments {
    unsigned number;
    const char* letters;
};
// The status texts raised with arguments: the end of a scan (124, and
// 1241 and 1242 for one track or one session: tracks, sessions), a
// selected file (123: size, date), a directory (125: items),
// several files (149: count, total size), the device part (1006: id, name),
// the volume being read (129 ISO, 130 Joliet, 173 UDF, 221 High Sierra:
// track, name; 177 HFS: name), a UDF descriptor search (251: first and last
// block), the UDF block scan (184: block, end, files, errors), the overlap
// pass (242: track), the duplicate pass (247: items; 248: items, removed)
// and the intensive search for a VAT (114: track, first block, blocks).
constexpr StatusArguments kStatusArguments[] = {
    {114, "ddd"}, {123, "ds"}, {124, "dd"}, {125, "d"}, {129, "ds"}, {130, "ds"}, {149, "dd"}, {173, "ds"},
    {177, "s"},   {184, "dddd"}, {221, "ds"}, {242, "d"}, {247, "d"}, {248, "dd"}, {251, "dd"}, {1006, "ss"}, {1241, "dd"}, {1242, "dd"},
};

}  // namespace

const char* StatusTextArguments(unsigned number) {
    for (const StatusArguments& entry : kStatusArguments)
        if (entry.number == number) return entry.letters;
    return "";
}

void ShowStatus(int id, ...) {
    const unsigned number = static_cast<unsigned>(id) & 0xFFFF;
    std::string text;
    va_list arguments;
    va_start(arguments, id);
    if (number == 0) {
        const char* given = va_arg(arguments, const char*);
        text = given ? given : "";
    } else {
        std::string format = messages::MessageLanguage().Text(number);
        if (format.empty()) {
            va_end(arguments);
            return;
        }
        text::CutUtf8InPlace(format, kMaxStatusText);
        // A translated text whose conversions do not fit what the callers
        // pass is shown as it stands rather than read missing arguments.
        if (messages::FormatFitsArguments(format, StatusTextArguments(number))) {
            char buffer[512];
            std::vsnprintf(buffer, sizeof buffer, format.c_str(), arguments);
            text = buffer;
        } else {
            text = format;
        }
    }
    va_end(arguments);
    if (diag::DebugMode && id >= 0) diag::DebugPrint("%s", text.c_str());
    if (port::ShellPort* port = port::InstalledShellPort()) {
        port->CallOnUserInterfaceThread([port, &text] {
            port->SetStatusText(0, text);
            return 0;
        });
    }
}

}  // namespace dravik::messages
