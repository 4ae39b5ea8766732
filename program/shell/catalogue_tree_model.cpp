#include "program/shell/catalogue_tree_model.h"

#include <QString>

#include "program/scan/catalogue_lock.h"
#include "program/shell/damage_marks.h"
#include "program/shell/view_images.h"

namespace dravik::shell {

struct CatalogueTreeModel::Node {
    Node* parent = nullptr;
    int row = 0;
    scan::FoundItem* item = nullptr;
    QString text;
    int image = kTreeFolder;
    int selectedImage = kTreeFolderOpen;
    bool hasChildrenMark = false;
    std::vector<std::unique_ptr<Node>> children;
};

CatalogueTreeModel::CatalogueTreeModel(QObject* parent)
    : QAbstractItemModel(parent), root_(std::make_unique<Node>()) {}

CatalogueTreeModel::~CatalogueTreeModel() = default;

CatalogueTreeModel::Node* CatalogueTreeModel::Checked(port::TreeHandle handle) const {
    auto* node = reinterpret_cast<Node*>(handle);
    return live_.count(node) ? node : nullptr;
}

CatalogueTreeModel::Node* CatalogueTreeModel::NodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex CatalogueTreeModel::IndexOfNode(Node* node) const {
    if (!node || node == root_.get()) return {};
    return createIndex(node->row, 0, node);
}

port::TreeHandle CatalogueTreeModel::Insert(const port::TreeItemRequest& request) {
    Node* parent = root_.get();
    if (request.parent) {
        parent = Checked(request.parent);
        if (!parent) return 0;
    }
    auto node = std::make_unique<Node>();
    node->parent = parent;
    node->row = static_cast<int>(parent->children.size());
    node->item = static_cast<scan::FoundItem*>(const_cast<void*>(request.item));
    node->text = QString::fromStdString(request.text);
    node->image = request.image;
    node->selectedImage = request.selectedImage;
    node->hasChildrenMark = request.hasChildren;
    Node* added = node.get();
    const bool firstChild = parent->children.empty();
    beginInsertRows(IndexOfNode(parent), node->row, node->row);
    parent->children.push_back(std::move(node));
    live_.insert(added);
    endInsertRows();
    // The parent's expander may appear now.
    if (firstChild && parent != root_.get()) {
        const QModelIndex at = IndexOfNode(parent);
        emit dataChanged(at, at);
    }
    return reinterpret_cast<port::TreeHandle>(added);
}

void CatalogueTreeModel::Clear() {
    beginResetModel();
    root_->children.clear();
    live_.clear();
    open_ = nullptr;
    endResetModel();
}

QModelIndex CatalogueTreeModel::IndexOf(port::TreeHandle handle) const { return IndexOfNode(Checked(handle)); }

scan::FoundItem* CatalogueTreeModel::ItemAt(const QModelIndex& index) const {
    return index.isValid() ? NodeAt(index)->item : nullptr;
}

port::TreeHandle CatalogueTreeModel::HandleAt(const QModelIndex& index) const {
    return index.isValid() ? reinterpret_cast<port::TreeHandle>(NodeAt(index)) : 0;
}

void CatalogueTreeModel::SetOpenNode(const QModelIndex& index) {
    Node* node = index.isValid() ? NodeAt(index) : nullptr;
    if (node == open_) return;
    Node* old = open_;
    open_ = node;
    for (Node* changed : {old, node}) {
        if (!changed) continue;
        const QModelIndex at = IndexOfNode(changed);
        emit dataChanged(at, at, {Qt::DecorationRole});
    }
}

QModelIndex CatalogueTreeModel::index(int row, int column, const QModelIndex& parent) const {
    Node* node = NodeAt(parent);
    if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= node->children.size()) return {};
    return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex CatalogueTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return IndexOfNode(NodeAt(child)->parent);
}

int CatalogueTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(NodeAt(parent)->children.size());
}

int CatalogueTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool CatalogueTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* node = NodeAt(parent);
    return !node->children.empty() || (parent.isValid() && node->hasChildrenMark);
}

QVariant CatalogueTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Node* node = NodeAt(index);
    unsigned marks = 0;
    if (node->item && (role == Qt::ToolTipRole || role == Qt::DecorationRole)) {
        scan::CatalogueGuard hold;
        marks = DamageMarksOf(*node->item);
    }
    switch (role) {
        case Qt::DisplayRole: return node->text;
        case Qt::ToolTipRole:
            return marks ? node->text + QLatin1Char('\n') + DamageMarkText(marks) : node->text;
        case Qt::DecorationRole: return MarkedIcon(TreeIcon(node == open_ ? node->selectedImage : node->image), marks);
        default: return {};
    }
}

}  // namespace dravik::shell
