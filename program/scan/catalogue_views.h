// How the scan code shows the catalogue in the front end's tree without
// knowing it: through the shell port (InsertTreeItem, ClearCatalogueViews),
// handed to the user-interface thread. Called on the scan thread, never
// with the catalogue lock held (the user-interface thread may be waiting
// for it); a front end without a tree (the CLI) simply keeps nothing.
#pragma once

namespace dravik::scan {

struct FoundItem;

// Shows `item` in the tree under its parent's node and stores the node's
// handle in the item. An item whose parent is not shown yet waits for it,
// and an item whose data is not on the disc is not shown.
void ShowItemInTree(FoundItem* item);
// Shows `root` and every directory below it, parents before their
// children (files are listed by the file list, not the tree). With
// `skipHiddenEntries`, directories named like the "." and ".." entries of
// a directory are left out with everything below them.
void ShowDirectoryTree(FoundItem* root, bool skipHiddenEntries);
// Deletes every node of the tree and empties the file list.
void ClearCatalogueViews();

}  // namespace dravik::scan
