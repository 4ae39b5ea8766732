#include "program/shell/file_list_model.h"

#include <QCollatorSortKey>
#include <algorithm>
#include <numeric>

#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/shell/damage_marks.h"
#include "program/shell/list_texts.h"
#include "program/shell/view_images.h"

namespace dravik::shell {

namespace {

constexpr unsigned kColumnTitles = 904;

QStringList ColumnTitles() {
    QStringList titles = QString::fromStdString(messages::MessageLanguage().Text(kColumnTitles)).split(QLatin1Char(';'));
    while (titles.size() < FileListModel::kColumns) titles.append(QString());
    return titles;
}

}  // namespace

std::uint32_t SubdirectoryCountSum(const scan::FoundItem* directory) {
    if (!directory) return 0;
    std::uint32_t sum = 0;
    for (const scan::FoundItem* child = directory->firstChild; child; child = child->next) {
        if (scan::IsHiddenEntry(child)) continue;
        if (child->flags & scan::ItemDirectory) sum += child->count;
    }
    if (directory->track && (directory->track->flags & scan::TrackHfs)) return 0;
    return sum;
}

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent), titles_(ColumnTitles()), names_(ListNameCollator()) {}

std::uint32_t FileListModel::ShowDirectory(scan::FoundItem* directory) {
    beginResetModel();
    rows_.clear();
    std::uint32_t sum = 0;
    if (directory) {
        scan::CatalogueGuard hold;
        for (scan::FoundItem* child = directory->firstChild; child; child = child->next) {
            if (scan::IsHiddenEntry(child)) continue;
            rows_.push_back(child);
        }
        sum = SubdirectoryCountSum(directory);
        RenumberRows();
    }
    endResetModel();
    return sum;
}

bool FileListModel::AppendItem(scan::FoundItem* item) {
    if (!item) return false;
    const int row = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), row, row);
    rows_.push_back(item);
    {
        scan::CatalogueGuard hold;
        item->listIndex = row;
    }
    endInsertRows();
    return true;
}

void FileListModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void FileListModel::RenumberRows() {
    for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i]->listIndex = static_cast<std::int32_t>(i);
}

void FileListModel::SortBy(int state) {
    const int column = state < 0 ? -state : state;
    if (column < 1 || column > kColumns) return;
    sortState_ = state;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<scan::FoundItem*> oldRows = rows_;
    {
        scan::CatalogueGuard hold;
        // Ascending compares the pair as received, descending swapped; the
        // stable sort keeps equal items in catalogue order.
        const bool descending = state < 0;
        if (column == 1) {
            // One key per name instead of a locale comparison per pair.
            std::vector<QCollatorSortKey> keys;
            keys.reserve(rows_.size());
            for (scan::FoundItem* item : rows_) keys.push_back(names_.sortKey(QString::fromUtf8(item->Name())));
            std::vector<std::size_t> order(rows_.size());
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
                if (descending) std::swap(x, y);
                const bool xDir = (rows_[x]->flags & scan::ItemDirectory) != 0;
                const bool yDir = (rows_[y]->flags & scan::ItemDirectory) != 0;
                if (xDir != yDir) return xDir;
                return keys[x].compare(keys[y]) < 0;
            });
            std::vector<scan::FoundItem*> sorted;
            sorted.reserve(rows_.size());
            for (std::size_t i : order) sorted.push_back(rows_[i]);
            rows_.swap(sorted);
        } else {
            std::stable_sort(rows_.begin(), rows_.end(), [&](scan::FoundItem* x, scan::FoundItem* y) {
                if (descending) std::swap(x, y);
                return CompareListItems(*x, *y, column, names_) < 0;
            });
        }
        RenumberRows();
    }
    // Selections and the current row follow their items.
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        scan::FoundItem* item = oldRows[static_cast<std::size_t>(index.row())];
        after.append(this->index(item->listIndex, index.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

scan::FoundItem* FileListModel::ItemAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
    return rows_[static_cast<std::size_t>(row)];
}

int FileListModel::RowOf(const scan::FoundItem* item) const {
    if (!item) return -1;
    const int row = item->listIndex;
    return ItemAt(row) == item ? row : -1;
}

void FileListModel::SetRemoveVersion(bool) {
    // The name column is made on demand: a repaint shows the new setting.
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DisplayRole});
}

void FileListModel::SetCellSize(QSize size) {
    if (size == cellSize_) return;
    cellSize_ = size;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::SizeHintRole});
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    const scan::FoundItem* item = ItemAt(index.row());
    if (!item) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole: {
            scan::CatalogueGuard hold;
            if (role == Qt::ToolTipRole && index.column() == 0) {
                const QString name = ListItemName(*item, settings::ProgramSettings.RemoveVersion != 0);
                const unsigned marks = DamageMarksOf(*item);
                return marks ? name + QLatin1Char('\n') + DamageMarkText(marks) : name;
            }
            switch (index.column()) {
                case 0: return ListItemName(*item, settings::ProgramSettings.RemoveVersion != 0);
                case 1: return ListStartText(item->start);
                case 2: return ListSizeText(item->size);
                case 3: return ListDateText(item->date);
                default: return {};
            }
        }
        case Qt::DecorationRole:
            if (index.column() != 0) return {};
            {
                unsigned marks = 0;
                {
                    scan::CatalogueGuard hold;
                    marks = DamageMarksOf(*item);
                }
                return MarkedIcon(ListIcon(ListImageOf(*item)), marks);
            }
        case Qt::SizeHintRole:
            if (index.column() != 0 || !cellSize_.isValid()) return {};
            return cellSize_;
        case Qt::TextAlignmentRole:
            if (index.column() == 0 && cellSize_.isValid() && cellSize_.height() > 40)
                return QVariant(Qt::AlignHCenter | Qt::AlignTop);
            return index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        default: return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
    if (role == Qt::DisplayRole) return titles_.value(section);
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

}  // namespace dravik::shell
