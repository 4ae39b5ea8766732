#include "program/shell/catalogue_views.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QTreeView>
#include <algorithm>

#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/item_date.h"
#include "program/settings/settings.h"
#include "program/shell/catalogue_tree_model.h"
#include "program/shell/damage_marks.h"
#include "program/shell/file_list_model.h"
#include "program/messages/show_status.h"

namespace dravik::shell {

namespace {

constexpr unsigned kDirectoryStatus = 125;   // entries below the directory
constexpr unsigned kFileStatus = 123;        // size, date
constexpr unsigned kFilesStatus = 149;       // number of files, total size
// The icon styles lay out this many rows per step, so a huge directory
// never holds the user-interface thread for long.
constexpr int kLayoutBatch = 256;

int ClampToInt(std::uint64_t value) { return value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(value); }

// The status line of a marked item: what could not be read, on one line.
void ShowMarkStatus(unsigned marks) {
    const std::string text = DamageMarkText(marks).replace(QLatin1Char('\n'), QLatin1Char(' ')).toStdString();
    messages::ShowStatus(0, text.c_str());
}

}  // namespace

int ListStyleFromStoredValue(std::uint32_t value) {
    for (int index = 0; index < 4; ++index)
        if (static_cast<std::uint32_t>(kListStyleStoredValue[index]) == value) return index;
    return kLargeIcons;
}

CatalogueViews::CatalogueViews(QWidget* parent)
    : QSplitter(Qt::Horizontal, parent),
      treeModel_(new CatalogueTreeModel(this)),
      listModel_(new FileListModel(this)),
      widths_(app::ParseColumnWidths(app::ReadProgramString(app::kColumnWidthsValue, app::kDefaultColumnWidthsText))) {
    setObjectName(QStringLiteral("views"));
    setHandleWidth(kSplitterWidth);
    setChildrenCollapsible(false);
    // The bar follows the mouse as an outline; the views change on release.
    setOpaqueResize(false);

    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("id1"));
    tree_->setModel(treeModel_);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setDragEnabled(false);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long names scroll rather than being cut off.
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree_->setMinimumWidth(kEdgeLimit + 1);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);

    listStack_ = new QStackedWidget(this);
    listStack_->setMinimumWidth(kEdgeLimit + 1 - kSplitterWidth);
    icons_ = new QListView(listStack_);
    icons_->setObjectName(QStringLiteral("id2"));
    icons_->setModel(listModel_);
    icons_->setModelColumn(0);
    icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    icons_->setMovement(QListView::Static);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setLayoutMode(QListView::Batched);
    icons_->setBatchSize(kLayoutBatch);
    icons_->setUniformItemSizes(true);
    icons_->setTextElideMode(Qt::ElideRight);
    icons_->setDragEnabled(false);
    icons_->setContextMenuPolicy(Qt::CustomContextMenu);
    details_ = new QTreeView(listStack_);
    details_->setObjectName(QStringLiteral("id2details"));
    details_->setModel(listModel_);
    details_->setSelectionModel(icons_->selectionModel());
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    details_->setSelectionBehavior(QAbstractItemView::SelectRows);
    details_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    details_->setDragEnabled(false);
    details_->setContextMenuPolicy(Qt::CustomContextMenu);
    details_->header()->setStretchLastSection(false);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSectionsMovable(false);
    details_->header()->setSortIndicatorShown(false);
    listStack_->addWidget(icons_);
    listStack_->addWidget(details_);
    ApplyColumnWidths();
    details_->viewport()->installEventFilter(this);

    addWidget(tree_);
    addWidget(listStack_);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    const int treeWidth = static_cast<int>(
        std::min<std::uint32_t>(app::ReadProgramNumber(app::kTreeWidthValue, kDefaultTreeWidth), 0x7FFF));
    setSizes({std::max(treeWidth, kEdgeLimit + 1), 10000});

    for (QWidget* view : {static_cast<QWidget*>(tree_), static_cast<QWidget*>(icons_), static_cast<QWidget*>(details_)})
        view->installEventFilter(this);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { TreeCurrentChanged(current); });
    connect(icons_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) { ListSelectionChanged(selected); });
    connect(icons_, &QAbstractItemView::doubleClicked, this, [this] { ListDoubleClicked(); });
    connect(details_, &QAbstractItemView::doubleClicked, this, [this] { ListDoubleClicked(); });
    connect(details_->header(), &QHeaderView::sectionClicked, this, [this](int column) { SortByHeader(column); });
    connect(this, &QSplitter::splitterMoved, this,
            [this](int, int) { app::WriteProgramNumber(app::kTreeWidthValue, static_cast<std::uint32_t>(TreeWidth())); });
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        popupTreeIndex_ = tree_->indexAt(at);
        if (treeMenu_) treeMenu_->popup(tree_->viewport()->mapToGlobal(at));
    });
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            if (listMenu_) listMenu_->popup(view->viewport()->mapToGlobal(at));
        });
    }

    // The stored style is shown without storing anything.
    ApplyStyle(ListStyleFromStoredValue(app::ReadProgramNumber(app::kListStyleValue, 0)));
}

CatalogueViews::~CatalogueViews() = default;

QAbstractItemView* CatalogueViews::List() const {
    return style_ == kDetails ? static_cast<QAbstractItemView*>(details_) : icons_;
}

void CatalogueViews::SetPopupMenus(QMenu* listMenu, QMenu* treeMenu) {
    listMenu_ = listMenu;
    treeMenu_ = treeMenu;
}

int CatalogueViews::TreeWidth() const {
    const QList<int> parts = sizes();
    return parts.isEmpty() ? 0 : parts.front();
}

// --- tree -----------------------------------------------------------------

port::TreeHandle CatalogueViews::InsertTreeItem(const port::TreeItemRequest& request) {
    return treeModel_->Insert(request);
}

void CatalogueViews::SelectTreeItem(port::TreeHandle node) {
    const QModelIndex index = treeModel_->IndexOf(node);
    if (!index.isValid()) return;
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
}

scan::FoundItem* CatalogueViews::SelectedTreeItem() const { return treeModel_->ItemAt(tree_->currentIndex()); }

scan::FoundItem* CatalogueViews::PopupTreeItem() const {
    return popupTreeIndex_.isValid() ? treeModel_->ItemAt(popupTreeIndex_) : SelectedTreeItem();
}

void CatalogueViews::SelectParentDirectory() {
    const QModelIndex parent = tree_->currentIndex().parent();
    if (!parent.isValid()) {
        QApplication::beep();
        return;
    }
    tree_->setCurrentIndex(parent);
    tree_->scrollTo(parent);
}

void CatalogueViews::TreeCurrentChanged(const QModelIndex& current) {
    ClearList();
    treeModel_->SetOpenNode(current);
    scan::FoundItem* directory = treeModel_->ItemAt(current);
    if (!directory) return;
    if (busy_) busy_(true);
    const std::uint32_t sum = listModel_->ShowDirectory(directory);
    listSorted_ = false;
    if (settings::ProgramSettings.SortInitial) {
        listModel_->SortBy(1);
        listSorted_ = true;
    }
    ShowSortIndicator();
    std::uint32_t count = 0;
    unsigned marks = 0;
    {
        scan::CatalogueGuard hold;
        count = directory->count;
        marks = DamageMarksOf(*directory);
    }
    messages::ShowStatus(static_cast<int>(kDirectoryStatus), static_cast<int>(count - sum));
    // A folder that could not be read whole says so instead of its count.
    if (marks) ShowMarkStatus(marks);
    if (busy_) busy_(false);
}

// --- list -----------------------------------------------------------------

bool CatalogueViews::InsertListItem(scan::FoundItem* item) { return listModel_->AppendItem(item); }

std::vector<int> CatalogueViews::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : icons_->selectionModel()->selectedIndexes()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int CatalogueViews::SelectedRowCount() const { return static_cast<int>(SelectedRows().size()); }

scan::FoundItem* CatalogueViews::NextSelectedListItem(const scan::FoundItem* after) const {
    const int afterRow = after ? listModel_->RowOf(after) : -1;
    if (after && afterRow < 0) return nullptr;
    for (int row : SelectedRows())
        if (row > afterRow) return listModel_->ItemAt(row);
    return nullptr;
}

void CatalogueViews::ListSelectionChanged(const QItemSelection& selected) {
    const QModelIndexList added = selected.indexes();
    if (added.isEmpty()) return;
    scan::FoundItem* item = listModel_->ItemAt(added.front().row());
    if (!item) return;
    scan::CatalogueGuard hold;
    if (item->flags & scan::ItemDirectory) {
        if (const unsigned marks = DamageMarksOf(*item)) {
            ShowMarkStatus(marks);
            return;
        }
        messages::ShowStatus(static_cast<int>(kDirectoryStatus), static_cast<int>(item->count - SubdirectoryCountSum(item)));
        return;
    }
    const std::vector<int> rows = SelectedRows();
    if (rows.size() == 1) {
        if (const unsigned marks = DamageMarksOf(*item)) {
            ShowMarkStatus(marks);
            return;
        }
        const std::string date = scan::ItemDateText(item->date);
        messages::ShowStatus(static_cast<int>(kFileStatus), static_cast<int>(item->size), date.c_str());
        return;
    }
    std::uint64_t total = 0;
    for (int row : rows)
        if (scan::FoundItem* chosen = listModel_->ItemAt(row)) total += chosen->size;
    messages::ShowStatus(static_cast<int>(kFilesStatus), static_cast<int>(rows.size()), ClampToInt(total));
}

void CatalogueViews::ListDoubleClicked() {
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1) return;
    scan::FoundItem* item = listModel_->ItemAt(rows.front());
    if (!item) return;
    port::TreeHandle node = 0;
    {
        scan::CatalogueGuard hold;
        if (!(item->flags & scan::ItemDirectory) || item->start == scan::StartNotAvailable) return;
        node = item->treeView.handle;
    }
    // Opening it refills the list: select it in the tree after this signal.
    QMetaObject::invokeMethod(this, [this, node] { SelectTreeItem(node); }, Qt::QueuedConnection);
}

void CatalogueViews::ClearList() {
    if (style_ == kDetails) KeepColumnWidths();
    listModel_->Clear();
}

void CatalogueViews::ClearViews() {
    ClearList();
    treeModel_->Clear();
}

void CatalogueViews::KeepColumnWidths() {
    // The list has four columns: the fifth width reads back as 0. A name
    // column only widened to fill the view keeps its stored width.
    for (int column = 0; column < app::kColumnCount; ++column) {
        const int size = column < FileListModel::kColumns ? details_->header()->sectionSize(column) : 0;
        if (column == 0 && size == filledNameWidth_) continue;
        widths_[static_cast<std::size_t>(column)] = size;
    }
}

void CatalogueViews::FillNameColumn() {
    QHeaderView* header = details_->header();
    int others = 0;
    for (int column = 1; column < FileListModel::kColumns; ++column) others += header->sectionSize(column);
    const int current = header->sectionSize(0);
    // The user widened or narrowed the column since: that width stays.
    if (filledNameWidth_ >= 0 && current != filledNameWidth_) {
        widths_[0] = current;
        filledNameWidth_ = -1;
    }
    const int width = std::max(widths_[0], details_->viewport()->width() - others);
    if (width == current) return;
    header->resizeSection(0, width);
    filledNameWidth_ = width;
}

void CatalogueViews::ApplyColumnWidths() {
    for (int column = 0; column < FileListModel::kColumns; ++column)
        details_->header()->resizeSection(column, widths_[static_cast<std::size_t>(column)]);
    // The stored widths were chosen for a narrower font than most desktops
    // use: a date column too narrow to show a whole date is widened.
    const scan::ItemDate sample = scan::ItemDateFromFields(2000, 12, 28, 22, 58, 58);
    const int dateWidth =
        details_->fontMetrics().horizontalAdvance(QString::fromStdString(scan::ItemDateText(sample))) + 16;
    if (details_->header()->sectionSize(3) < dateWidth) details_->header()->resizeSection(3, dateWidth);
    filledNameWidth_ = -1;
    FillNameColumn();
}

void CatalogueViews::SetListStyle(int index) {
    if (index < kLargeIcons || index > kDetails) return;
    if (style_ == kDetails && index != kDetails) KeepColumnWidths();
    ApplyStyle(index);
    app::WriteProgramString(app::kColumnWidthsValue, app::FormatColumnWidths(widths_));
    app::WriteProgramNumber(app::kListStyleValue, static_cast<std::uint32_t>(kListStyleStoredValue[index]));
}

void CatalogueViews::ApplyStyle(int index) {
    style_ = index;
    switch (index) {
        case kLargeIcons:
            icons_->setViewMode(QListView::IconMode);
            icons_->setIconSize(QSize(48, 48));
            listModel_->SetCellSize(QSize(100, 80));
            icons_->setGridSize(QSize(108, 88));
            icons_->setFlow(QListView::LeftToRight);
            icons_->setWrapping(true);
            icons_->setWordWrap(true);
            icons_->setSpacing(0);
            break;
        case kSmallIcons:
            icons_->setViewMode(QListView::ListMode);
            icons_->setIconSize(QSize(16, 16));
            listModel_->SetCellSize(QSize(186, 20));
            icons_->setGridSize(QSize(190, 22));
            icons_->setFlow(QListView::LeftToRight);
            icons_->setWrapping(true);
            icons_->setWordWrap(false);
            break;
        case kPlainList:
            icons_->setViewMode(QListView::ListMode);
            icons_->setIconSize(QSize(16, 16));
            listModel_->SetCellSize(QSize(216, 20));
            icons_->setGridSize(QSize(220, 20));
            icons_->setFlow(QListView::TopToBottom);
            icons_->setWrapping(true);
            icons_->setWordWrap(false);
            break;
        default: listModel_->SetCellSize(QSize()); break;
    }
    if (index == kDetails) ApplyColumnWidths();
    // Both views share the selection; the shown one takes the focus role.
    const bool hadFocus = List()->hasFocus() || icons_->hasFocus() || details_->hasFocus();
    listStack_->setCurrentWidget(index == kDetails ? static_cast<QWidget*>(details_) : icons_);
    if (hadFocus) List()->setFocus();
    List()->viewport()->update();
}

void CatalogueViews::SortByHeader(int column) {
    const int state = listModel_->SortState() == column + 1 ? -(column + 1) : column + 1;
    listModel_->SortBy(state);
    listSorted_ = true;
    ShowSortIndicator();
}

void CatalogueViews::ShowSortIndicator() {
    QHeaderView* header = details_->header();
    header->setSortIndicatorShown(listSorted_);
    const int state = listModel_->SortState();
    header->setSortIndicator((state < 0 ? -state : state) - 1, state < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CatalogueViews::RepaintViews() {
    listModel_->SetRemoveVersion(settings::ProgramSettings.RemoveVersion != 0);
    tree_->viewport()->update();
    List()->viewport()->update();
}

void CatalogueViews::Release() {
    if (style_ == kDetails) {
        KeepColumnWidths();
        // Widths the user set in details view are not lost at exit.
        app::WriteProgramString(app::kColumnWidthsValue, app::FormatColumnWidths(widths_));
    }
    listModel_->Clear();
}

// --- keys -----------------------------------------------------------------

bool CatalogueViews::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == details_->viewport()) FillNameColumn();
    if (event->type() != QEvent::KeyPress) return QSplitter::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool inList = watched == icons_ || watched == details_;
    // Alt+Up: the parent folder, from either view.
    if (key->key() == Qt::Key_Up && key->modifiers() == Qt::AltModifier && (inList || watched == tree_)) {
        SelectParentDirectory();
        return true;
    }
    // Shift+F10 and the Menu key: the view's popup at the current item.
    if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
        (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
        auto* view = qobject_cast<QAbstractItemView*>(watched);
        QMenu* menu = watched == tree_ ? treeMenu_ : listMenu_;
        if (view && menu) {
            const QRect at = view->visualRect(view->currentIndex());
            menu->popup(view->viewport()->mapToGlobal(at.isValid() ? at.center() : QPoint(0, 0)));
            return true;
        }
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QSplitter::eventFilter(watched, event);
    if (watched == tree_) {
        if (key->key() == Qt::Key_Tab) {
            List()->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }
    if (watched == icons_ || watched == details_) {
        // Enter opens the folder under the cursor, as a double click does.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            ListDoubleClicked();
            return true;
        }
        if (key->key() == Qt::Key_Backspace) {
            SelectParentDirectory();
            return true;
        }
        if (key->key() == Qt::Key_Tab) {
            tree_->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QSplitter::eventFilter(watched, event);
}

}  // namespace dravik::shell
