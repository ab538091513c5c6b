#pragma once

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/connection_watcher.h"
#include "project/project.h"
#include "settings/settings_store.h"
#include "ui/action_rules.h"
#include "ui/file_icons.h"
#include "ui/file_list_model.h"

class QAction;
class QComboBox;
class QMimeData;
class QTimer;

namespace ravelo {

class TAboutFrm;
class TChooseProjectFrm;
class TConfirmReplaceFrm;
class TDisplayStrategy;
class TDropJob;
class TExtensionsFrm;
class TFilesDropTarget;
class TFilesLvw;
class TMainSbr;
class TNode;
class TPathTbr;
class TProgressFrm;
class TResolveFrm;
class TSynFolder;
struct TCertificateQuestion;

struct TDropOutcome;

struct TFolderFrmOptions {
  // The options each project is opened with; none: the defaults.
  std::function<TProjectOptions()> ProjectOptions;
};

// The main window over one open project at a time: the menus and the main
// toolbar of actions, the projects toolbar, the path bar, the file list of
// the shown folder and the status bar. What the list shows is decided by
// the display strategy of the moment (no project, disconnected, connected);
// the actions only start node operations, whose outcome comes back through
// the strategy. The window is the device's connection watcher.
//
// Every server operation runs in worker threads: the window never waits on
// the network. Closing a project (to open another one, or with the window)
// stops its operations first (a disconnect ends the transfers, an
// interrupted download leaves the old local copy), waits for them while
// serving the hand-overs, then saves the project; a failed save is shown.
//
// Files dragged from the list carry their local copies; files dropped on
// the window are copied or moved into the local cache by a TDropJob, and the
// folder watcher then shows them.
//
// Threads: the GUI thread for everything, except TransfersStarted and
// TransfersEnded, which may come from a worker thread and are posted to the
// GUI thread.
class TFolderFrm : public QMainWindow, public IConnectionWatcher {
  Q_OBJECT

 public:
  explicit TFolderFrm(TFolderFrmOptions options = {}, QWidget* parent = nullptr);
  ~TFolderFrm() override;

  // The show step: opens the project file (an absolute path; none or one
  // that cannot be opened asks the chooser, starting in its folder), shows
  // it and connects when it was connected when last saved. False when no
  // project was chosen: the window has closed. Other errors are shown and
  // leave the window without a project.
  bool Start(const std::string& project_file);

  TProject* Project() const { return project_.get(); }
  TSynFolder* ShownFolder() const { return shown_; }
  TStrategyKind StrategyKind() const;
  QAction* Action(TActionId action) const { return actions_[action]; }
  TFileListModel& Files() { return *files_; }
  TFilesLvw& FilesLvw() const { return *files_lvw_; }
  TMainSbr& MainSbr() const { return *main_sbr_; }
  TPathTbr& PathTbr() const { return *path_tbr_; }
  QComboBox& ProjectsCbx() const { return *projects_cbx_; }
  TChooseProjectFrm& ChooseProjectFrm() const { return *choose_project_frm_; }
  TResolveFrm& ResolveFrm() const { return *resolve_frm_; }

  // --- Drag and drop -------------------------------------------------------
  // What dragging the selected items out carries: their local copies.
  std::unique_ptr<QMimeData> DragMimeData() const;
  // Files dropped at the point (global coordinates) go into the folder item
  // under it, or else into the shown folder; the copy runs in a thread of
  // its own with the progress dialog. Ignored while a drop runs.
  void FilesDrop(const std::vector<std::string>& files, bool copy, const QPoint& global);
  bool Dropping() const { return drop_job_ != nullptr; }

  // --- For the display strategies ---------------------------------------
  // The folder the device opened last; none without a project.
  TSynFolder* CurrentFolder() const;
  // Makes folder the shown one and lists its children as kind decides.
  void ShowFolder(TSynFolder& folder, TStrategyKind kind);
  // Adds, updates or removes the node's item as kind decides.
  void ShowNode(TNode& node, TStrategyKind kind);
  void UpdatePathBar();
  // Panel 2: "Error: ", the message, ", Node: " and the node's name.
  void ShowNodeError(TNode& node, const std::exception& error);

  // --- IConnectionWatcher -------------------------------------------------
  void Connected() override;
  void Disconnected() override;
  void ConnectFailed(const std::exception& error) override;
  void TransfersStarted(std::int64_t base) override;
  void TransfersEnded() override;
  void WatchFailed(const std::string& message) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // --- Building the window --------------------------------------------
  void CreateActions();
  void CreateMenus();
  void CreateToolBars();
  void CreateCentralWidget();
  void CreateDropTarget();

  // --- Projects ------------------------------------------------------------
  TProjectOptions NewProjectOptions() const;
  // Runs the chooser; the chosen project loaded (not yet installed). Throws
  // EProjectNotChosen when none was chosen.
  std::unique_ptr<TProject> ChooseProject(const std::string& initial_path);
  // Closes the open project, then installs project and shows it, opening
  // its root, or connecting (which opens it) when connect.
  void OpenProject(std::unique_ptr<TProject> project, bool connect = false);
  void ShowProject(bool connect);
  // Stops the open project's operations, saves it (a failure is shown) and
  // frees it.
  void CloseProject();
  // Saves the open project, with flags instead of the device's when given;
  // a failure is shown.
  void SaveProject(const std::optional<TProjectFlags>& flags = std::nullopt);
  void RefreshProjectList();
  void ProjectsCbxChange(int index);
  // The known folders' index of the open project; -1 when not known.
  int OpenProjectIndex() const;
  void SetStrategy(TStrategyKind kind);
  void SetShownFolder(TSynFolder& folder);

  // --- Actions ---------------------------------------------------------------
  void UpdateActions();
  // What the action rules read: the strategy, the shown folder and the
  // selected rows.
  TActionInputs ActionInputs(const std::vector<QModelIndex>& rows) const;
  void RunAction(TActionId action);
  void ExecuteAction(TActionId action);
  void ConnectActExecute();
  // Asks whether to accept the certificate project's connect refused when
  // project is still the open one; accepted, the project keeps it, is saved
  // and connects again.
  void AcceptCertificate(const TProject* project, const TCertificateQuestion& question);
  void FolderUpActExecute();
  void CreateActExecute(bool folder);
  void ClearCacheActExecute();
  void ResolveActExecute();
  void AutoSyncActExecute();
  void EditProjectActExecute();
  void OpenProjectActExecute();
  void SetViewStyle(TViewStyle style);
  void ForEachSelected(const std::function<void(TNode&)>& start);
  void FilesLvwDblClick();
  void PathButtonClick(int index);
  void RenameRequested(TNode* node, const QString& new_name);
  void StartDrag();
  void DropEnded(const TDropOutcome& outcome);
  void ProgressTmrTimer();
  // What TransfersEnded does, in the GUI thread.
  void TransfersEndedHere();
  // A text for panel 2 without the open project's password in it.
  QString ErrorPanelText(const std::string& text) const;

  const TFolderFrmOptions options_;
  TSettingsStore store_ = TSettingsStore::CurrentUser();
  TFileIcons icons_;
  std::unique_ptr<TProject> project_;
  std::shared_ptr<TDisplayStrategy> strategy_;
  // Every strategy made, so that those still held by nodes are detached
  // when the window goes.
  std::vector<std::weak_ptr<TDisplayStrategy>> strategies_;
  TSynFolder* shown_ = nullptr;  // in the open project's tree
  std::int64_t progress_base_ = 0;
  // Gone with the window: hand-overs posted from worker threads test it.
  const std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  // Widgets and dialogs, owned by the window through Qt's parents.
  std::array<QAction*, kActionCount> actions_{};
  QAction* project_panel_act_ = nullptr;
  QAction* projects_tbr_act_ = nullptr;  // shows or hides the projects toolbar
  QAction* exit_act_ = nullptr;
  QAction* about_act_ = nullptr;
  TFileListModel* files_ = nullptr;
  TFilesLvw* files_lvw_ = nullptr;
  TPathTbr* path_tbr_ = nullptr;
  TMainSbr* main_sbr_ = nullptr;
  QComboBox* projects_cbx_ = nullptr;
  QTimer* progress_tmr_ = nullptr;
  TExtensionsFrm* extensions_frm_ = nullptr;
  TChooseProjectFrm* choose_project_frm_ = nullptr;
  TConfirmReplaceFrm* confirm_replace_frm_ = nullptr;
  TProgressFrm* progress_frm_ = nullptr;
  TResolveFrm* resolve_frm_ = nullptr;
  TAboutFrm* about_frm_ = nullptr;
  TFilesDropTarget* drop_target_ = nullptr;
  std::unique_ptr<TDropJob> drop_job_;  // the drop running, if any
};

}  // namespace ravelo
