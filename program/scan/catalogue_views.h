// How the scan code reaches the tree and list views without knowing them:
// the views install these hooks when they are made. Without them (the CLI,
// tests) the calls do nothing. The hooks are called on the scan thread and
// hand their work to the user-interface thread themselves; they are never
// called with the catalogue lock held.
#pragma once

#include <functional>

namespace dravik::scan {

struct FoundItem;

struct CatalogueViewHooks {
    // Shows an item in the tree (the views' InsertTreeItem).
    std::function<void(FoundItem*)> showInTree;
    // Deletes every node of the tree and empties the file list.
    std::function<void()> clearViews;
};

void InstallCatalogueViewHooks(CatalogueViewHooks hooks);
void ShowItemInTree(FoundItem* item);
void ClearCatalogueViews();

}  // namespace dravik::scan
