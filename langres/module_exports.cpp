// The module's C interface: the language code, a text by number, a
// resource by name, and the module's version record. These four are the
// only exported symbols.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "langres/shell_resources.h"
#include "langres/string_table.h"

#define LANGRES_EXPORT extern "C" __attribute__((visibility("default")))

namespace dravik::langres {
namespace {

const char* FindIn(StringRange range, unsigned id) {
    const StringEntry* end = range.entries + range.count;
    const StringEntry* at = std::lower_bound(range.entries, end, id,
                                             [](const StringEntry& e, unsigned v) { return e.id < v; });
    return (at != end && at->id == id) ? at->text : nullptr;
}

}  // namespace
}  // namespace dravik::langres

LANGRES_EXPORT const char* GetLanguageCode(void) { return "ENU"; }

// nullptr when the module has no text with that number.
LANGRES_EXPORT const char* GetLanguageString(unsigned id) {
    using namespace dravik::langres;
    const char* text = id < 3000 ? FindIn(ProgramMessageStrings(), id)
                       : id < 8000 ? FindIn(DeviceMessageStrings(), id)
                                   : FindIn(SenseStrings(), id);
    if (!text) text = FindIn(ShellStrings(), id);
    if (!text) text = FindIn(ViewStrings(), id);
    return text ? text : FindIn(AdviceStrings(), id);
}

// A dialog layout (Qt Designer .ui text), menu or accelerator table by its
// file name ("MESSAGEBOX.ui", "164.menu", "ACCEL.accel"); nullptr when the
// module has none by that name.
LANGRES_EXPORT const char* GetLanguageResource(const char* name) {
    if (!name) return nullptr;
    dravik::langres::ResourceRange range = dravik::langres::Resources();
    for (std::size_t i = 0; i < range.count; ++i)
        if (std::strcmp(range.entries[i].name, name) == 0) return range.entries[i].text;
    return nullptr;
}

// The version record every module of the program answers: five 32-bit
// fields (size, major, minor, build, platform). Returns 0 on success and a
// nonzero error when the caller's record is too small.
LANGRES_EXPORT int DllGetVersion(void* record) {
    if (!record) return 1;
    auto* fields = static_cast<std::uint32_t*>(record);
    if (fields[0] < 5 * sizeof(std::uint32_t)) return 1;
    fields[1] = DRAVIK_LANGRES_VERSION_MAJOR;
    fields[2] = DRAVIK_LANGRES_VERSION_MINOR;
    fields[3] = 0;
    fields[4] = 2;  // the NT family, as the rest of the Linux build reports
    return 0;
}
