#include "program/shell/view_hooks.h"

#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/shell/main_window.h"
#include "program/shell/qt_shell_port.h"

namespace dravik::shell {

namespace {

constexpr int kDeletedDirectoryImage = 2;

bool AnyChildHasContents(const scan::FoundItem* item) {
    for (const scan::FoundItem* child = item->firstChild; child; child = child->next)
        if (child->firstChild) return true;
    return false;
}

}  // namespace

void InstallViewHooks(QtShellPort& port) {
    scan::CatalogueViewHooks hooks;
    hooks.showInTree = [&port](scan::FoundItem* item) {
        if (!item || item->start == scan::StartNotAvailable) return;
        port::TreeItemRequest request;
        if (item->parent) {
            // A parent not shown yet: the item waits for it.
            if (item->parent->treeView.handle == 0) return;
            request.parent = item->parent->treeView.handle;
        }
        request.item = item;
        request.text = item->Name();
        request.image = (item->flags & scan::ItemDeleted) ? kDeletedDirectoryImage : 0;
        request.selectedImage = 1;
        request.hasChildren = AnyChildHasContents(item);
        item->treeView.handle = port.InsertTreeItem(request);
    };
    hooks.clearViews = [&port] {
        port.CallOnUserInterfaceThread([&port] {
            if (MainWindow* window = port.Window()) window->ClearViews();
            return 0;
        });
    };
    scan::InstallCatalogueViewHooks(std::move(hooks));
}

}  // namespace dravik::shell
