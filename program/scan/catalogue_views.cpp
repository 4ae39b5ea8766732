#include "program/scan/catalogue_views.h"

#include "program/port/shell_port.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"

namespace dravik::scan {

namespace {

// Tree pictures: a folder, an open folder, a deleted folder.
constexpr int kFolderImage = 0;
constexpr int kOpenFolderImage = 1;
constexpr int kDeletedFolderImage = 2;

// The node gets an expand button when a child directory has contents.
bool AnyChildHasContents(const FoundItem* item) {
    for (const FoundItem* child = item->firstChild; child; child = child->next)
        if (child->firstChild) return true;
    return false;
}

}  // namespace

void ShowItemInTree(FoundItem* item) {
    port::ShellPort* shell = port::InstalledShellPort();
    if (!shell || !item) return;
    port::TreeItemRequest request;
    {
        CatalogueGuard guard;
        if (item->start == StartNotAvailable) return;
        if (item->parent) {
            if (item->parent->treeView.handle == 0) return;
            request.parent = item->parent->treeView.handle;
        }
        request.item = item;
        request.text = item->Name();
        request.image = (item->flags & ItemDeleted) ? kDeletedFolderImage : kFolderImage;
        request.selectedImage = kOpenFolderImage;
        request.hasChildren = AnyChildHasContents(item);
    }
    port::TreeHandle handle = 0;
    shell->CallOnUserInterfaceThread([&] {
        handle = shell->InsertTreeItem(request);
        return 0;
    });
    CatalogueGuard guard;
    item->treeView.handle = handle;
}

void ClearCatalogueViews() {
    port::ShellPort* shell = port::InstalledShellPort();
    if (!shell) return;
    shell->CallOnUserInterfaceThread([shell] {
        shell->ClearCatalogueViews();
        return 0;
    });
}

}  // namespace dravik::scan
