// Menus and accelerator tables as the language module writes them: plain
// text, one entry a line, so that a translator edits them without tools.
//
// Menu ("164.menu"):
//   popup TEXT      opens a submenu; "end" closes it
//   item ID TEXT    a command
//   radio ID TEXT   a command shown as one choice of its submenu's group
//   separator       a line
// Accelerators ("ACCEL.accel"):  KEY ID   (KEY as Qt writes key sequences)
// Blank lines and lines starting with "#" are ignored. Command ids are
// 1 to 65535. The text comes from a file a stranger may have written, so
// the readers below keep to the limits named here and report the first
// line at fault.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravik::app {

constexpr std::size_t kMaxResourceText = 64 * 1024;
constexpr std::size_t kMaxResourceLine = 400;
constexpr std::size_t kMaxMenuDepth = 4;
constexpr std::size_t kMaxMenuEntries = 300;
constexpr std::size_t kMaxAccelerators = 100;

struct MenuEntry {
    enum class Kind { Popup, Item, Radio, Separator };
    Kind kind = Kind::Item;
    int id = 0;  // Item and Radio
    std::string text;
    std::vector<MenuEntry> children;  // Popup
};

struct Accelerator {
    std::string key;
    int id = 0;
};

// The top-level entries of a menu. False with `error` ("line N: ...")
// when the text breaks the format or a limit.
bool ParseMenu(std::string_view text, std::vector<MenuEntry>& menu, std::string& error);
bool ParseAccelerators(std::string_view text, std::vector<Accelerator>& table, std::string& error);

// Every command id of a menu, in order, including those of its submenus.
std::vector<int> MenuCommandIds(const std::vector<MenuEntry>& menu);

}  // namespace dravik::app
