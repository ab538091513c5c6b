#include "ui/files_lvw.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>

#include "ui/file_icons.h"
#include "ui/file_list_model.h"

namespace ravelo {

namespace {

// Keeps what the user typed into a caption: Qt refills an open editor from
// the model whenever its row changes, and a node's operations change it.
class TCaptionDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (const auto* line = qobject_cast<QLineEdit*>(editor); line != nullptr && line->isModified())
      return;
    QStyledItemDelegate::setEditorData(editor, index);
  }
};

void SetUpView(QAbstractItemView& view, QItemSelectionModel& selection) {
  view.setSelectionModel(&selection);
  view.setSelectionMode(QAbstractItemView::ExtendedSelection);
  view.setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  view.setDragEnabled(false);
  view.setItemDelegate(new TCaptionDelegate(&view));  // owned by the view
}

}  // namespace

TFilesLvw::TFilesLvw(TFileListModel& model, QWidget* parent)
    : QStackedWidget(parent), model_(model) {
  setObjectName(QStringLiteral("FilesLvw"));
  selection_ = new QItemSelectionModel(&model_, this);  // owned by this

  list_view_ = new QListView(this);  // owned by this
  list_view_->setObjectName(QStringLiteral("FilesListView"));
  list_view_->setModel(&model_);
  list_view_->setModelColumn(TFileListModel::kNameColumn);
  list_view_->setResizeMode(QListView::Adjust);
  SetUpView(*list_view_, *selection_);

  details_view_ = new QTreeView(this);  // owned by this
  details_view_->setObjectName(QStringLiteral("FilesDetailsView"));
  details_view_->setModel(&model_);
  details_view_->setRootIsDecorated(false);
  details_view_->setItemsExpandable(false);
  details_view_->setSortingEnabled(false);  // the model keeps the list's order
  details_view_->setUniformRowHeights(true);
  details_view_->setIconSize(QSize(kSmallIconSize, kSmallIconSize));
  details_view_->setColumnWidth(TFileListModel::kNameColumn, 200);
  details_view_->setColumnWidth(TFileListModel::kSizeColumn, 75);
  details_view_->header()->setStretchLastSection(false);
  SetUpView(*details_view_, *selection_);

  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(list_view_),
                                  static_cast<QAbstractItemView*>(details_view_)}) {
    addWidget(view);
    view->viewport()->installEventFilter(this);
    connect(view, &QAbstractItemView::activated, this, &TFilesLvw::Activated);
    connect(view, &QAbstractItemView::pressed, this, &TFilesLvw::Press);
  }
  connect(selection_, &QItemSelectionModel::selectionChanged, this, &TFilesLvw::SelectionChanged);
  SetViewStyle(vsList);
}

void TFilesLvw::SetViewStyle(TViewStyle style) {
  style_ = style;
  if (style == vsDetails) {
    setCurrentWidget(details_view_);
    return;
  }
  const bool icons = style == vsIcons;
  list_view_->setViewMode(icons ? QListView::IconMode : QListView::ListMode);
  list_view_->setIconSize(icons ? QSize(kLargeIconSize, kLargeIconSize)
                                : QSize(kSmallIconSize, kSmallIconSize));
  list_view_->setFlow(icons ? QListView::LeftToRight : QListView::TopToBottom);
  list_view_->setWrapping(true);
  list_view_->setMovement(QListView::Static);
  list_view_->setGridSize(icons ? QSize(96, 64) : QSize());
  list_view_->setWordWrap(icons);
  list_view_->setSpacing(icons ? 0 : 1);
  setCurrentWidget(list_view_);
}

QAbstractItemView* TFilesLvw::CurrentView() const {
  return qobject_cast<QAbstractItemView*>(currentWidget());
}

std::vector<QModelIndex> TFilesLvw::SelectedRows() const {
  std::vector<QModelIndex> rows;
  for (const QModelIndex& index : selection_->selectedIndexes())
    if (index.column() == TFileListModel::kNameColumn) rows.push_back(index);
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  return rows;
}

std::vector<TNode*> TFilesLvw::SelectedNodes() const {
  std::vector<TNode*> nodes;
  for (const QModelIndex& index : SelectedRows())
    if (TNode* node = model_.NodeAt(index)) nodes.push_back(node);
  return nodes;
}

void TFilesLvw::SelectOnly(const QModelIndex& index) {
  selection_->setCurrentIndex(index,
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFilesLvw::Edit(const QModelIndex& index) {
  if (!index.isValid()) return;
  SelectOnly(index);
  CurrentView()->setFocus();
  CurrentView()->scrollTo(index);
  CurrentView()->edit(index);
}

bool TFilesLvw::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      left_pressed_ = mouse->button() == Qt::LeftButton;
      press_at_ = mouse->position().toPoint();
      break;
    }
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      if (drag_start_.Move((mouse->buttons() & Qt::LeftButton) != 0, at.x(), at.y()))
        emit DragRequested();
      break;
    }
    case QEvent::MouseButtonRelease:
      drag_start_.Release();
      left_pressed_ = false;
      break;
    default:
      break;
  }
  return QStackedWidget::eventFilter(watched, event);
}

void TFilesLvw::Press(const QModelIndex&) {
  // The view has just applied the press to the selection.
  drag_start_.Press(left_pressed_, !SelectedRows().empty(), AllSelectedLocal(), press_at_.x(),
                    press_at_.y());
}

bool TFilesLvw::AllSelectedLocal() const {
  const auto rows = SelectedRows();
  return std::all_of(rows.begin(), rows.end(), [&](const QModelIndex& index) {
    const TNodeFacts* facts = model_.FactsAt(index);
    return facts != nullptr && facts->Local == prPresent;
  });
}

}  // namespace ravelo
