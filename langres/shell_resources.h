// The shell's part of the language module: the texts of the main window
// (menu help, toolbar tips, status bar) and the resources named by file
// name: dialog layouts ("MESSAGEBOX.ui"), menus ("164.menu") and the
// accelerator table ("ACCEL.accel").
#pragma once

#include <cstddef>

#include "langres/string_table.h"

namespace dravik::langres {

// Texts of the main window, its commands and status bar.
StringRange ShellStrings();
// Texts of the views, the options dialog and the drive selection.
StringRange ViewStrings();
// The about box's version text and the advice topics after a scan.
StringRange AdviceStrings();

struct ResourceEntry {
    const char* name;
    const char* text;
};
struct ResourceRange {
    const ResourceEntry* entries;
    std::size_t count;
};
// Every resource, sorted by name (generated from langres/resources).
ResourceRange Resources();

}  // namespace dravik::langres
