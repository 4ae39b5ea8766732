// The paths of found items as the CLI's tree prints them: the names below
// the track's root item joined by "/" ("PHOTOS/IMG_0001.JPG;1"), and how a
// path the user typed selects items.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "program/scan/found_item.h"

namespace dravik::extract {

// The item's path below its track's root; empty for the root itself.
std::string ItemPathText(const scan::FoundItem* item);

// The root's name without its leading "\ ": "SAMPLE (Session 1)".
std::string TrackFolderText(const scan::FoundItem* root);

// True when `wanted` (as the user typed it) names `item`: its path below
// the root, or the root's name (with or without the "\ ") followed by "/"
// and that path, or the root's name alone for the whole track. A leading
// or trailing "/" is ignored, and so are ISO version numbers (";1") on
// either side.
bool PathSelects(std::string_view wanted, const scan::FoundItem* root, const std::string& itemPath);

// The time an item's date names, as seconds since 1970 in UTC (the ISO
// date's offset from Greenwich is applied); nothing for an item without a
// date or with impossible fields.
std::optional<std::time_t> ItemTime(const scan::ItemDate& date);

}  // namespace dravik::extract
