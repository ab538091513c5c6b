#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/files_drop_state.h"

class QDragMoveEvent;
class QWidget;

namespace ravelo {

// Takes files dragged onto the widgets it is registered on: local files
// only (a text/uri-list of file:// URIs or our own file-list block), copy
// or move chosen by the effect rule; anything else is refused, which shows
// the forbidden cursor. The decisions are TFilesDropState's; this only
// translates Qt's drag events. GUI thread only.
class TFilesDropTarget : public QObject {
 public:
  struct THandlers {
    // The local cache's folder; empty while no drop can be taken (no
    // project, or a drop still running).
    std::function<std::string()> LocalRoot;
    // Files are dragged over the point (global coordinates).
    std::function<void(const QPoint& global)> DragOver;
    // The files were dropped at the point: copy, or move when copy is false.
    std::function<void(const std::vector<std::string>& files, bool copy, const QPoint& global)>
        Drop;
  };

  TFilesDropTarget(THandlers handlers, QObject* parent);

  // Takes drops on the widget from now on.
  void Register(QWidget& widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Answer(QDragMoveEvent& event, TDropEffect effect, const QWidget& widget);

  THandlers handlers_;
  std::optional<TFilesDropState> state_;  // from a drag's entering to the next one
};

}  // namespace ravelo
