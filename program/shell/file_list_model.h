// The file list as a model over the catalogue: one row per item of the
// shown directory, holding only the item's pointer; the column texts are
// made when a view asks for them, so a directory of tens of thousands of
// entries opens at once.
#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QSize>
#include <QStringList>
#include <vector>

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::shell {

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 4;

    explicit FileListModel(QObject* parent = nullptr);

    // Shows the contents of `directory` (its "." and ".." entries left
    // out) in catalogue order; the sort state is kept. Reads the catalogue
    // under its guard. Returns the sum of the `count` of the directories
    // among the contents.
    std::uint32_t ShowDirectory(scan::FoundItem* directory);
    // Appends one item (InsertListItem); false when it cannot be shown.
    bool AppendItem(scan::FoundItem* item);
    void Clear();

    // +k sorts ascending by column k (1-based), -k descending.
    void SortBy(int state);
    int SortState() const { return sortState_; }

    scan::FoundItem* ItemAt(int row) const;
    int RowOf(const scan::FoundItem* item) const;
    const std::vector<scan::FoundItem*>& Items() const { return rows_; }

    // Read each time a name is shown.
    void SetRemoveVersion(bool on);
    // The cell every name takes in the icon styles (one size for all, so
    // that a huge directory is laid out without measuring each name);
    // invalid in details view.
    void SetCellSize(QSize size);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void RenumberRows();

    std::vector<scan::FoundItem*> rows_;
    int sortState_ = 1;
    QSize cellSize_;
    QStringList titles_;
    QCollator names_;
};

// The sum of the `count` of the directories directly inside `directory`
// (0 on an HFS track, whose directory counts do not add up that way).
std::uint32_t SubdirectoryCountSum(const scan::FoundItem* directory);

}  // namespace dravik::shell
