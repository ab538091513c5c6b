#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <string>
#include <vector>

#include "ui/node_view.h"

namespace ravelo {

class TFileIcons;
class TNode;

// The file list's rows: one per shown node, as its display strategy decided
// (NodeView), in the list's order (folders first, then captions). Columns
// "Name" (icon with the state picture, caption, editable in place) and
// "Size". Serves the icons and list views (a QListView) and the details
// view (a QTreeView) alike; they share one selection model.
//
// Rows refer to their nodes without owning them: the window removes a
// node's row in the node's NodeRemoved, while the node is still alive. GUI
// thread only.
class TFileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum TColumn : int { kNameColumn, kSizeColumn, kColumnCount };

  // icons outlives the model.
  explicit TFileListModel(TFileIcons& icons, QObject* parent = nullptr);

  // Adds or updates the node's row, or removes it when the view is not
  // listed; the row moves to its place in the order.
  void Show(TNode& node, const TNodeFacts& facts, const TNodeView& view);
  void Remove(const TNode& node);
  void Clear();
  // Removes the rows of nodes whose parent is not folder.
  void KeepChildrenOf(const TNode& folder);

  // None for an index of no row.
  TNode* NodeAt(const QModelIndex& index) const;
  // The node's row in the name column; invalid when it has none.
  QModelIndex IndexOf(const TNode& node) const;
  bool IsFolder(const QModelIndex& index) const;
  // What the row was last shown from; none for an index of no row.
  const TNodeFacts* FactsAt(const QModelIndex& index) const;
  // Every row's caption, for naming a new file or folder.
  std::vector<std::string> Captions() const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // An accepted in-place edit: the row shows the new caption at once and
  // RenameRequested asks the window to rename the node.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  void RenameRequested(TNode* node, const QString& new_name);

 private:
  struct TRow {
    TNode* Node;  // not owned
    TNodeFacts Facts;
    std::string Name;  // Caption in UTF-8: the list's order compares it on every change
    QString Caption;
    QString SizeText;
    QString StateText;
    bool Cut;
    QIcon Icon;
  };

  int RowOf(const TNode& node) const;
  void RemoveRow(int row);
  // Restores the order after a row was added or changed.
  void Sort();

  TFileIcons& icons_;
  std::vector<TRow> rows_;
};

}  // namespace ravelo
