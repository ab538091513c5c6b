#include "ui/file_list_model.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

#include "model/branch.h"
#include "model/list_order.h"
#include "model/node.h"
#include "ui/file_icons.h"
#include "ui/qt_text.h"

namespace ravelo {

TFileListModel::TFileListModel(TFileIcons& icons, QObject* parent)
    : QAbstractTableModel(parent), icons_(icons) {}

void TFileListModel::Show(TNode& node, const TNodeFacts& facts, const TNodeView& view) {
  const int row = RowOf(node);
  if (!view.Listed) {
    if (row >= 0) RemoveRow(row);
    return;
  }
  const QString caption = Qs(view.Caption);
  TRow shown{&node,
             facts,
             Std(caption),  // as shown: bytes that are not UTF-8 are replaced
             caption,
             Qs(view.SizeText),
             Qs(view.StateText),
             view.Cut,
             icons_.ItemIcon(view, facts.Name)};
  if (row < 0) {
    const int end = static_cast<int>(rows_.size());
    beginInsertRows({}, end, end);
    rows_.push_back(std::move(shown));
    endInsertRows();
  } else {
    rows_[static_cast<std::size_t>(row)] = std::move(shown);
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
  }
  Sort();
}

void TFileListModel::Remove(const TNode& node) {
  if (const int row = RowOf(node); row >= 0) RemoveRow(row);
}

void TFileListModel::Clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void TFileListModel::KeepChildrenOf(const TNode& folder) {
  for (int row = 0; row < rowCount();) {
    if (rows_[static_cast<std::size_t>(row)].Node->Parent() != &folder)
      RemoveRow(row);
    else
      ++row;
  }
}

TNode* TFileListModel::NodeAt(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rowCount()) return nullptr;
  return rows_[static_cast<std::size_t>(index.row())].Node;
}

QModelIndex TFileListModel::IndexOf(const TNode& node) const {
  const int row = RowOf(node);
  return row < 0 ? QModelIndex() : index(row, kNameColumn);
}

bool TFileListModel::IsFolder(const QModelIndex& index) const {
  return NodeAt(index) != nullptr && rows_[static_cast<std::size_t>(index.row())].Facts.Folder;
}

const TNodeFacts* TFileListModel::FactsAt(const QModelIndex& index) const {
  if (NodeAt(index) == nullptr) return nullptr;
  return &rows_[static_cast<std::size_t>(index.row())].Facts;
}

std::vector<std::string> TFileListModel::Captions() const {
  std::vector<std::string> captions;
  for (const TRow& row : rows_) captions.push_back(row.Name);
  return captions;
}

int TFileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
  if (NodeAt(index) == nullptr) return {};
  const TRow& row = rows_[static_cast<std::size_t>(index.row())];
  const bool name = index.column() == kNameColumn;
  switch (role) {
    case Qt::DisplayRole:
      return name ? row.Caption : row.SizeText;
    case Qt::EditRole:
      return name ? QVariant(row.Caption) : QVariant();
    case Qt::DecorationRole:
      return name ? QVariant(row.Icon) : QVariant();
    case Qt::ToolTipRole:
      return row.Facts.Folder ? QVariant() : QVariant(row.StateText);
    case Qt::TextAlignmentRole:
      return name ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
      if (row.Cut) return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
      return {};
    default:
      return {};
  }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole)
    return section == kNameColumn ? QStringLiteral("Name") : QStringLiteral("Size");
  if (role == Qt::TextAlignmentRole && section == kSizeColumn)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (NodeAt(index) != nullptr && index.column() == kNameColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

bool TFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TNode* node = NodeAt(index);
  if (node == nullptr || role != Qt::EditRole || index.column() != kNameColumn) return false;
  const QString caption = value.toString();
  TRow& row = rows_[static_cast<std::size_t>(index.row())];
  if (caption.isEmpty() || caption == row.Caption) return false;
  row.Caption = caption;
  row.Name = Std(caption);
  emit dataChanged(index, index);
  Sort();
  emit RenameRequested(node, caption);
  return true;
}

int TFileListModel::RowOf(const TNode& node) const {
  const auto found =
      std::find_if(rows_.begin(), rows_.end(), [&](const TRow& row) { return row.Node == &node; });
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

void TFileListModel::RemoveRow(int row) {
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void TFileListModel::Sort() {
  const auto before = [](const TRow& a, const TRow& b) {
    return CompareListItems(a.Facts.Folder, a.Name, b.Facts.Folder, b.Name) < 0;
  };
  if (std::is_sorted(rows_.begin(), rows_.end(), before)) return;
  emit layoutAboutToBeChanged();
  const QModelIndexList persistent = persistentIndexList();
  std::vector<const TNode*> persistent_nodes;
  for (const QModelIndex& index : persistent) persistent_nodes.push_back(NodeAt(index));
  std::stable_sort(rows_.begin(), rows_.end(), before);
  QModelIndexList moved;
  for (qsizetype i = 0; i < persistent.size(); ++i) {
    const int row = RowOf(*persistent_nodes[static_cast<std::size_t>(i)]);
    moved.append(index(row, persistent[i].column()));
  }
  changePersistentIndexList(persistent, moved);
  emit layoutChanged();
}

}  // namespace ravelo
