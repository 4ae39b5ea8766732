// RemoveDuplicates: every item of the tree(s) goes into a table with its
// start block and a priority (100 reached through a directory, 200
// unnamed, 50 more below an unnamed directory); sorted by start and
// priority, the first item of each group of equal starts is the one kept
// and the later files of the same size go.
#include "program/readers/udf/udf_cleanup.h"

#include <algorithm>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_status.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers::udf {

namespace {

constexpr std::int32_t kNamedPriority = 100;
constexpr std::int32_t kUnnamedPriority = 200;
constexpr std::int32_t kBelowUnnamedPriority = 50;
constexpr std::int32_t kRemoved = -1;
// Deeper trees than this are not walked (a damaged tree cannot make the
// pass recurse without end).
constexpr int kMaxDuplicateDepth = 64;

struct DuplicateEntry {
    scan::FoundItem* item;
    std::int32_t start;
    std::int32_t priority;
};

bool Aborted() {
    const device::CDDevice* device = scan::SelectedDevice();
    return scan::CloseRequested.load() != 0 || (device && device->IsAbortSet());
}

void Fill(scan::FoundItem* dir, bool belowUnnamed, std::vector<DuplicateEntry>& table, int depth) {
    if (depth > kMaxDuplicateDepth) return;
    for (scan::FoundItem* item = dir->firstChild; item && !Aborted(); item = item->next) {
        std::int32_t priority = (item->flags & scan::ItemUnnamed) ? kUnnamedPriority : kNamedPriority;
        if (belowUnnamed) {
            priority += kBelowUnnamedPriority;
            scan::SetItemFlags(item, scan::ItemUnnamed);
        }
        table.push_back({item, item->start, priority});
        if (item->flags & scan::ItemDirectory)
            Fill(item, belowUnnamed || (item->flags & scan::ItemUnnamed), table, depth + 1);
    }
}

std::uint32_t CountBelow(const scan::FoundItem* dir, int depth) {
    if (depth > kMaxDuplicateDepth) return 0;
    std::uint32_t count = 0;
    for (const scan::FoundItem* item = dir->firstChild; item; item = item->next) {
        messages::ProgressTick();
        ++count;
        if (item->flags & scan::ItemDirectory) count += CountBelow(item, depth + 1);
    }
    return count;
}

// The first unnamed directory without children, depth first.
scan::FoundItem* EmptyUnnamedDir(scan::FoundItem* dir, int depth) {
    if (depth > kMaxDuplicateDepth) return nullptr;
    for (scan::FoundItem* item = dir->firstChild; item; item = item->next) {
        if (!(item->flags & scan::ItemDirectory)) continue;
        if (scan::FoundItem* found = EmptyUnnamedDir(item, depth + 1)) return found;
        if ((item->flags & scan::ItemUnnamed) && !item->firstChild) return item;
    }
    return nullptr;
}

bool Unnamed(const scan::FoundItem* item) { return (item->flags & scan::ItemUnnamed) != 0; }

void ShowRemoved(std::uint32_t total, int removed) {
    messages::ShowStatus(static_cast<int>(0x80000000u | kDuplicatesRemovedStatus), static_cast<int>(total), removed);
}

}  // namespace

std::uint32_t CountItems(const scan::FoundItem* dir) { return dir ? CountBelow(dir, 0) : 0; }

int RemoveEmptyUnnamedDirs(scan::FoundItem* dir) {
    int removed = 0;
    while (dir) {
        scan::FoundItem* empty = EmptyUnnamedDir(dir, 0);
        if (!empty) break;
        scan::UnlinkItem(empty);
        ++removed;
    }
    return removed;
}

void RemoveDuplicates(scan::TrackNode* track) {
    if (settings::ProgramSettings.KeepUDFDups) return;
    if (!scan::TrackListHead || !scan::TrackListHead->rootItem) return;
    std::vector<scan::TrackNode*> tracks;
    if (track) {
        if (track->rootItem) tracks.push_back(track);
    } else {
        for (scan::TrackNode* node = scan::TrackListHead; node; node = node->next)
            if (node->rootItem) tracks.push_back(node);
    }
    messages::ShowStatus(static_cast<int>(kDuplicatesStatus));
    std::uint32_t total = 0;
    for (const scan::TrackNode* node : tracks) total += CountItems(node->rootItem);
    messages::ShowStatus(static_cast<int>(kDuplicatesCountStatus), static_cast<int>(total));
    if (total == 0) return;

    std::vector<DuplicateEntry> table;
    table.reserve(total);
    for (scan::TrackNode* node : tracks) Fill(node->rootItem, false, table, 0);
    if (!Aborted()) {
        std::stable_sort(table.begin(), table.end(), [](const DuplicateEntry& a, const DuplicateEntry& b) {
            return a.start != b.start ? a.start < b.start : a.priority < b.priority;
        });
        int removed = 0;
        for (std::size_t i = 0; i < table.size() && !Aborted(); ++i) {
            messages::ProgressTick();
            DuplicateEntry& kept = table[i];
            if (kept.priority == kRemoved) continue;
            scan::FoundItem* item = kept.item;
            if (Unnamed(item) && item->start == scan::StartNotAvailable) {
                // An unnamed entry that leads nowhere.
                if (!(item->flags & scan::ItemDirectory) || !item->firstChild) {
                    kept.priority = kRemoved;
                    scan::UnlinkItem(item);
                    ShowRemoved(total, ++removed);
                }
                continue;
            }
            for (std::size_t j = i + 1; j < table.size() && table[j].start == kept.start; ++j) {
                DuplicateEntry& later = table[j];
                if (later.priority <= 0) continue;
                if (later.item->size != item->size) break;
                if (later.item->flags & scan::ItemDirectory) continue;
                // Two named files may share an entry (hard links, empty files).
                if (!Unnamed(item) && !Unnamed(later.item)) continue;
                later.priority = kRemoved;
                scan::UnlinkItem(later.item);
                ShowRemoved(total, ++removed);
            }
        }
    }
    for (scan::TrackNode* node : tracks) {
        RemoveEmptyUnnamedDirs(node->rootItem);
        scan::RecountDirectories(node->rootItem);
    }
}

}  // namespace dravik::readers::udf
