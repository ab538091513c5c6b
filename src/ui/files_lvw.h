#pragma once

#include <QPersistentModelIndex>
#include <QStackedWidget>

#include <vector>

#include "ui/action_rules.h"
#include "ui/drag_start.h"

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;

namespace ravelo {

class TFileListModel;
class TNode;

// The file list in its three view styles over one model and one selection:
// Icons (large pictures in a grid), List (small pictures in columns, top to
// bottom) and Details (the "Name" and "Size" columns). Many items may be
// selected; F2 or a click on a selected item edits its caption in place.
// GUI thread only.
class TFilesLvw : public QStackedWidget {
  Q_OBJECT

 public:
  // model outlives the list.
  explicit TFilesLvw(TFileListModel& model, QWidget* parent = nullptr);

  void SetViewStyle(TViewStyle style);
  TViewStyle ViewStyle() const { return style_; }
  QAbstractItemView* CurrentView() const;
  QItemSelectionModel* Selection() const { return selection_; }

  // The selected items' rows in the name column, in list order.
  std::vector<QModelIndex> SelectedRows() const;
  // Their nodes, in list order.
  std::vector<TNode*> SelectedNodes() const;
  // Selects the row alone and makes it current.
  void SelectOnly(const QModelIndex& index);
  // Starts editing the row's caption in place.
  void Edit(const QModelIndex& index);

  // The folder item highlighted while files are dragged over the list.
  QPersistentModelIndex DropHighlight;

 signals:
  // A double click or Enter on an item.
  void Activated();
  void SelectionChanged();
  // A left press on a selection of items that all have a local copy,
  // then a move of 5 pixels or more: the selected files are to be dragged.
  void DragRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Press(const QModelIndex& index);
  bool AllSelectedLocal() const;

  TFileListModel& model_;
  QItemSelectionModel* selection_;  // a child of this widget
  QListView* list_view_;            // Icons and List
  QTreeView* details_view_;         // Details
  TViewStyle style_ = vsList;
  TDragStart drag_start_;
  QPoint press_at_;
  bool left_pressed_ = false;
};

}  // namespace ravelo
