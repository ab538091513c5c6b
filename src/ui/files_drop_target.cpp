#include "ui/files_drop_target.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QWidget>

#include "ui/files_mime.h"

namespace ravelo {

TFilesDropTarget::TFilesDropTarget(THandlers handlers, QObject* parent)
    : QObject(parent), handlers_(std::move(handlers)) {}

void TFilesDropTarget::Register(QWidget& widget) {
  widget.setAcceptDrops(true);
  widget.installEventFilter(this);
}

bool TFilesDropTarget::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) return false;
  switch (event->type()) {
    case QEvent::DragEnter: {
      auto& drag = *static_cast<QDragEnterEvent*>(event);
      const std::string root = handlers_.LocalRoot();
      std::optional<std::vector<std::string>> files;
      if (!root.empty() && drag.mimeData() != nullptr) files = DraggedFiles(*drag.mimeData());
      state_.emplace(root);
      Answer(drag,
             state_->DragEnter(files.value_or(std::vector<std::string>()),
                               KeyState(drag.buttons(), drag.modifiers()),
                               AllowedEffects(drag.possibleActions())),
             *widget);
      return true;
    }
    case QEvent::DragMove: {
      auto& drag = *static_cast<QDragMoveEvent*>(event);
      if (!state_) return false;
      Answer(drag,
             state_->DragOver(KeyState(drag.buttons(), drag.modifiers()),
                              AllowedEffects(drag.possibleActions())),
             *widget);
      return true;
    }
    case QEvent::DragLeave:
      if (state_) state_->DragLeave();
      return true;
    case QEvent::Drop: {
      auto& drop = *static_cast<QDropEvent*>(event);
      if (!state_ || state_->Files().empty()) {
        drop.ignore();
        return true;
      }
      // We move the files ourselves. A source told "moved" may delete its
      // files while the copy into the cache still runs, so, where the
      // platform passes this answer on, it hears "copied" if it allows that.
      const bool copy = state_->IsCopy();
      drop.setDropAction((drop.possibleActions() & Qt::CopyAction) != 0
                             ? Qt::CopyAction
                             : DropAction(copy ? deCopy : deMove));
      drop.accept();
      handlers_.Drop(state_->Files(), copy, widget->mapToGlobal(drop.position().toPoint()));
      return true;
    }
    default:
      return false;
  }
}

void TFilesDropTarget::Answer(QDragMoveEvent& event, TDropEffect effect, const QWidget& widget) {
  if (effect == deNone) {
    event.ignore();
    return;
  }
  event.setDropAction(DropAction(effect));
  event.accept();
  handlers_.DragOver(widget.mapToGlobal(event.position().toPoint()));
}

}  // namespace ravelo
