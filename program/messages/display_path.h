// The short path of a found item used in messages and log lines: its
// ancestor directories below the track's root and its own name, each
// preceded by "\", with the middle directories replaced by "\..." when the
// ancestors' names would make it too long.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravik::messages {

// Ancestors beyond this many (counting from the item) are not shown.
constexpr std::size_t kMaxPathAncestors = 20;
// Up to this total (names plus one separator each) every ancestor is shown.
constexpr std::size_t kFullPathLimit = 70;
// When shortening, outer ancestors are dropped until the total is below this.
constexpr std::size_t kShortPathTarget = 60;

// `ancestors` are the directory names below the track's root, nearest first.
std::string DisplayPath(std::string_view name, const std::vector<std::string_view>& ancestors);

// For a catalogue item with a `Name()` and a `parent` field: the
// ancestors are the parents up to, not including, the root item (the one
// without a parent).
template <typename Item>
std::string DisplayPathOf(const Item* item) {
    if (!item) return {};
    std::vector<std::string_view> ancestors;
    for (const Item* up = item->parent; up && up->parent && ancestors.size() < kMaxPathAncestors; up = up->parent)
        ancestors.emplace_back(up->Name());
    return DisplayPath(item->Name(), ancestors);
}

}  // namespace dravik::messages
