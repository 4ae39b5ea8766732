// The guard between the scan thread, which builds the catalogue and the
// track list, and the user-interface thread, which reads them while the
// scan still runs (the file list of a directory chosen mid-scan, the
// selection handlers, the clearing of the views' marks).
//
// The rules:
// - One lock, CatalogueLock(), recursive so that a writer may hold it
//   across several of the catalogue operations below, which take it too.
// - Only the scan thread writes. Every change to an item or node that is
//   already reachable (linked into a directory, attached to a track, or a
//   track linked into the list) is made under the lock: the catalogue
//   operations (LinkItem, AppendItem, UnlinkItem, FreeItemTree,
//   AttachRootItem, the extent list, the counts, the track list changes)
//   take it themselves; a reader that sets a field or flag on a linked
//   item afterwards holds a CatalogueGuard around the change.
// - An item is built completely before it is linked, so nobody ever sees
//   half an item.
// - The scan thread reads without the lock: nobody else writes.
// - The user-interface thread holds a CatalogueGuard while it walks items
//   or nodes, and never keeps a pointer past the guard except to items that
//   the views themselves show (those live until ClearTrackList, which clears
//   the views first).
// - Nobody holds the lock across a call into the shell port (messages,
//   tree insertions, progress): the scan thread waits for the
//   user-interface thread there, which may be waiting for the lock.
#pragma once

#include <mutex>

namespace dravik::scan {

std::recursive_mutex& CatalogueLock();

class CatalogueGuard {
public:
    CatalogueGuard() : hold_(CatalogueLock()) {}
    CatalogueGuard(const CatalogueGuard&) = delete;
    CatalogueGuard& operator=(const CatalogueGuard&) = delete;

private:
    std::lock_guard<std::recursive_mutex> hold_;
};

}  // namespace dravik::scan
