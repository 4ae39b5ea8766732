// The tree of tracks and directories and the list of the chosen
// directory's contents, side by side in a splitter. The list has four
// styles (large icons, small icons, list, details) over one model and one
// selection. Layout, style, column widths and the tree width are kept in
// the program's registry key.
#pragma once

#include <QPersistentModelIndex>
#include <QSplitter>
#include <functional>

#include "program/port/shell_port.h"
#include "program/app/settings_store.h"

class QAbstractItemView;
class QItemSelection;
class QListView;
class QMenu;
class QStackedWidget;
class QTreeView;

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::shell {

class CatalogueTreeModel;
class FileListModel;

// List styles by index, and the values "ListStyle" stores for them (the
// list control's own view numbers).
enum ListStyleIndex { kLargeIcons = 0, kSmallIcons = 1, kPlainList = 2, kDetails = 3 };
constexpr int kListStyleStoredValue[4] = {0, 2, 3, 1};
// The index of a stored value; 0 for anything unknown.
int ListStyleFromStoredValue(std::uint32_t value);

class CatalogueViews : public QSplitter {
    Q_OBJECT
public:
    static constexpr int kSplitterWidth = 5;
    // The bar stays more than this many pixels from either edge.
    static constexpr int kEdgeLimit = 50;
    static constexpr int kDefaultTreeWidth = 150;

    // Reads "TreeWidth", "ListStyle" and "ColumnWidths".
    explicit CatalogueViews(QWidget* parent = nullptr);
    ~CatalogueViews() override;

    QTreeView* Tree() const { return tree_; }
    // The view of the current list style.
    QAbstractItemView* List() const;
    QListView* IconList() const { return icons_; }
    QTreeView* Details() const { return details_; }
    CatalogueTreeModel* TreeModel() const { return treeModel_; }
    FileListModel* ListModel() const { return listModel_; }

    // Tree.
    port::TreeHandle InsertTreeItem(const port::TreeItemRequest& request);
    void SelectTreeItem(port::TreeHandle node);
    scan::FoundItem* SelectedTreeItem() const;
    // The item the tree's popup menu was last opened on (the current one
    // when it opened over no item).
    scan::FoundItem* PopupTreeItem() const;
    // Backspace: the parent of the current directory, or a beep.
    void SelectParentDirectory();

    // List.
    bool InsertListItem(scan::FoundItem* item);
    // The next selected item after `after` (from the top when null).
    scan::FoundItem* NextSelectedListItem(const scan::FoundItem* after) const;
    int SelectedRowCount() const;
    // Keeps the column widths when in details view, then empties the list.
    void ClearList();
    // Empties the list and the tree (a new scan begins).
    void ClearViews();
    // Changes the style (0-3), keeping the widths when leaving details
    // view, and stores "ColumnWidths" and "ListStyle".
    void SetListStyle(int index);
    int ListStyle() const { return style_; }
    // The widths as last kept (five; the list has four columns).
    const app::ColumnWidths& KeptColumnWidths() const { return widths_; }
    // A click on header `column` (0-based): the same column again turns
    // the order around.
    void SortByHeader(int column);
    void RepaintViews();
    // At shutdown: keeps and stores the widths of a details view.
    void Release();

    int TreeWidth() const;

    // What the views hand to the main window.
    void SetBusyHook(std::function<void(bool)> busy) { busy_ = std::move(busy); }
    void SetPopupMenus(QMenu* listMenu, QMenu* treeMenu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TreeCurrentChanged(const QModelIndex& current);
    void ListSelectionChanged(const QItemSelection& selected);
    void ListDoubleClicked();
    void ApplyStyle(int index);
    void KeepColumnWidths();
    void ApplyColumnWidths();
    // The name column takes the width the other columns leave free in the
    // details view, never less than its stored width.
    void FillNameColumn();
    void ShowSortIndicator();
    std::vector<int> SelectedRows() const;

    CatalogueTreeModel* treeModel_;
    FileListModel* listModel_;
    QTreeView* tree_;
    QStackedWidget* listStack_;
    QListView* icons_;
    QTreeView* details_;
    QMenu* listMenu_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    std::function<void(bool)> busy_;
    QPersistentModelIndex popupTreeIndex_;
    app::ColumnWidths widths_;
    // The name column's width as FillNameColumn last set it (-1: none); a
    // different width is the user's and is kept.
    int filledNameWidth_ = -1;
    int style_ = kLargeIcons;
    bool listSorted_ = false;
};

}  // namespace dravik::shell
