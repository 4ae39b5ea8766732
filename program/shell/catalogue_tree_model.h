// The tree of tracks and directories as a model. The scan inserts one node
// per shown directory (InsertTreeItem, on the user-interface thread); a
// node keeps its catalogue item, its text and pictures. A node's handle
// (port::TreeHandle) is the node's address; handles are checked before
// use, so a stale one does nothing.
#pragma once

#include <QAbstractItemModel>
#include <memory>
#include <unordered_set>
#include <vector>

#include "program/port/shell_port.h"

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::shell {

class CatalogueTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CatalogueTreeModel(QObject* parent = nullptr);
    ~CatalogueTreeModel() override;

    // Appends a node as the last child of request.parent (a root when 0).
    // Returns its handle; 0 when the parent handle is not a node of this
    // tree.
    port::TreeHandle Insert(const port::TreeItemRequest& request);
    void Clear();

    QModelIndex IndexOf(port::TreeHandle handle) const;
    scan::FoundItem* ItemAt(const QModelIndex& index) const;
    port::TreeHandle HandleAt(const QModelIndex& index) const;
    // The node shown with its "open" picture (the current node).
    void SetOpenNode(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Node;
    Node* NodeAt(const QModelIndex& index) const;
    Node* Checked(port::TreeHandle handle) const;
    QModelIndex IndexOfNode(Node* node) const;

    std::unique_ptr<Node> root_;
    std::unordered_set<const Node*> live_;
    Node* open_ = nullptr;
};

}  // namespace dravik::shell
