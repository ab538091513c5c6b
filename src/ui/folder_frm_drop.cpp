// The main window's drag and drop: the selected files dragged out, files
// dropped in copied or moved into the local cache.

#include <QAbstractItemView>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <chrono>

#include "shell/drop_job.h"
#include "sync/local_path.h"
#include "sync/syn_folder.h"
#include "ui/error_box.h"
#include "ui/files_drop_target.h"
#include "ui/files_lvw.h"
#include "ui/files_mime.h"
#include "ui/folder_frm.h"
#include "ui/main_sbr.h"
#include "ui/progress_frm.h"
#include "ui/qt_text.h"

namespace ravelo {

void TFolderFrm::CreateDropTarget() {
  drop_target_ = new TFilesDropTarget(  // owned by this
      {.LocalRoot =
           [this] { return project_ && !drop_job_ ? project_->LocalRoot() : std::string(); },
       .DragOver = [this](const QPoint& global) { files_lvw_->DragOver(global); },
       .Drop = [this](const std::vector<std::string>& files, bool copy,
                      const QPoint& global) { FilesDrop(files, copy, global); }},
      this);
  drop_target_->Register(*this);
  for (QAbstractItemView* view : files_lvw_->Views()) drop_target_->Register(*view->viewport());
  connect(files_lvw_, &TFilesLvw::DragRequested, this, &TFolderFrm::StartDrag);
  connect(progress_frm_, &TProgressFrm::CancelRequested, this, [this] {
    if (drop_job_) drop_job_->Cancel();
  });
}

std::unique_ptr<QMimeData> TFolderFrm::DragMimeData() const {
  std::vector<std::string> paths;
  if (project_)
    for (const TNode* node : files_lvw_->SelectedNodes())
      paths.push_back(LocalNodePath(project_->LocalRoot(), *node));
  return FilesMimeData(paths);
}

void TFolderFrm::StartDrag() {
  if (!project_) return;
  files_lvw_->DropHighlight = QPersistentModelIndex();
  std::unique_ptr<QMimeData> data;
  if (!ReportErrors(this, [&] { data = DragMimeData(); })) return;
  auto* drag = new QDrag(files_lvw_);  // owned by the list; Qt frees it after the drag
  drag->setMimeData(data.release());   // owned by the drag
  // Qt's drag loop cancels on Escape and drops on the left button's
  // release; the right button cancels too.
  QTimer buttons;
  buttons.setInterval(std::chrono::milliseconds(50));
  connect(&buttons, &QTimer::timeout, this, [] {
    if (QueryContinueDrag(false, KeyState(QGuiApplication::mouseButtons(), {})) == daCancel)
      QDrag::cancel();
  });
  buttons.start();
  // The effect the target chose is not used: a target that moves the
  // files moves them itself.
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void TFolderFrm::FilesDrop(const std::vector<std::string>& files, bool copy, const QPoint& global) {
  if (!project_ || drop_job_) return;
  ReportErrors(this, [&] {
    std::string destination =
        LocalNodePath(project_->LocalRoot(), project_->Device().CurrentFolder());
    if (const TNode* folder = files_->NodeAt(files_lvw_->FolderAt(global))) {
      if (!destination.ends_with('/')) destination += '/';  // the root's path ends with one
      destination += folder->Name();
    }
    drop_job_ = std::make_unique<TDropJob>(TDropRequest{files, destination, copy}, *progress_frm_,
                                           [this](const TDropOutcome& end) { DropEnded(end); });
  });
}

void TFolderFrm::DropEnded(const TDropOutcome& outcome) {
  drop_job_.reset();
  if (!outcome.Skipped.empty()) {
    std::string skipped;
    for (const std::string& path : outcome.Skipped) skipped += (skipped.empty() ? "" : ", ") + path;
    main_sbr_->SetErrorText(ErrorPanelText("Not copied (pipes, devices and sockets): " + skipped));
  }
  if (outcome.Result == drFailed) ShowErrorBox(this, Qs(outcome.Message));
}

}  // namespace ravelo
