#include "ui/folder_frm.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>
#include <filesystem>

#include "model/children_iterator.h"
#include "model/tree_errors.h"
#include "model/waiter.h"
#include "platform/main_thread.h"
#include "shell/drop_job.h"
#include "shell/file_system.h"
#include "sync/syn_folder.h"
#include "ui/about_frm.h"
#include "ui/action_images.h"
#include "ui/choose_project_frm.h"
#include "ui/confirm_replace_frm.h"
#include "ui/connection_texts.h"
#include "ui/display_strategy.h"
#include "ui/display_texts.h"
#include "ui/error_box.h"
#include "ui/extensions_frm.h"
#include "ui/files_lvw.h"
#include "ui/folder_frm_errors.h"
#include "ui/main_sbr.h"
#include "ui/path_bar.h"
#include "ui/path_tbr.h"
#include "ui/progress_frm.h"
#include "ui/project_list.h"
#include "ui/qt_text.h"
#include "ui/resolve_frm.h"

namespace ravelo {

namespace {

using namespace std::chrono_literals;

const QString kTitle = QStringLiteral("Ravelo");

// Serves hand-overs until no operation of any node is left.
void WaitForOperations() {
  while (!MainThread().WaitUntil([] { return TWaiter::LiveCount() == 0; }, 1s)) {
  }
}

}  // namespace

TFolderFrm::TFolderFrm(TFolderFrmOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
  setObjectName(QStringLiteral("FolderFrm"));
  setWindowTitle(kTitle);
  files_ = new TFileListModel(icons_, this);  // owned by this
  CreateActions();
  CreateMenus();
  CreateToolBars();
  CreateCentralWidget();
  main_sbr_ = new TMainSbr(this);  // owned by this
  setStatusBar(main_sbr_);
  connect(main_sbr_, &TMainSbr::ConnectionClicked, this, [this] { RunAction(aiConnect); });
  progress_tmr_ = new QTimer(this);  // owned by this
  progress_tmr_->setInterval(250ms);
  connect(progress_tmr_, &QTimer::timeout, this, &TFolderFrm::ProgressTmrTimer);

  // The dialogs, made once and reused.
  extensions_frm_ = new TExtensionsFrm(this);                     // owned by this
  choose_project_frm_ = new TChooseProjectFrm(store_, this);      // owned by this
  confirm_replace_frm_ = new TConfirmReplaceFrm(this);            // owned by this
  progress_frm_ = new TProgressFrm(*confirm_replace_frm_, this);  // owned by this
  resolve_frm_ = new TResolveFrm(this);                           // owned by this
  about_frm_ = new TAboutFrm(this);                               // owned by this
  CreateDropTarget();

  SetViewStyle(vsList);
  const bool panel = LoadPanelSetting(store_);
  projects_tbr_act_->setVisible(panel);
  project_panel_act_->setChecked(panel);
  SetStrategy(skNoProject);
  resize(720, 480);
}

TFolderFrm::~TFolderFrm() {
  if (project_) ReportErrors(this, [&] { CloseProject(); });
  for (const auto& made : strategies_)
    if (const auto strategy = made.lock()) strategy->Detach();
}

// --- Building the window ---------------------------------------------------

void TFolderFrm::CreateActions() {
  auto* view_styles = new QActionGroup(this);  // owned by this
  for (int id = 0; id < kActionCount; ++id) {
    const TActionInfo& info = ActionInfo(static_cast<TActionId>(id));
    auto* action = new QAction(Qs(info.Caption), this);  // owned by this
    if (!info.Hint.empty()) action->setToolTip(Qs(info.Hint));
    action->setIcon(ActionImage(info.Image));
    action->setCheckable(info.Checkable);
    connect(action, &QAction::triggered, this,
            [this, id] { ExecuteAction(static_cast<TActionId>(id)); });
    actions_[static_cast<std::size_t>(id)] = action;
  }
  for (const TActionId id : {aiViewIcons, aiViewList, aiViewDetails})
    view_styles->addAction(actions_[id]);
  actions_[aiOpenProject]->setShortcut(QKeySequence::Open);
  actions_[aiFolderUp]->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));

  project_panel_act_ = new QAction(QStringLiteral("Project Panel"), this);  // owned by this
  project_panel_act_->setCheckable(true);
  connect(project_panel_act_, &QAction::toggled, this, [this](bool shown) {
    if (projects_tbr_act_ != nullptr) projects_tbr_act_->setVisible(shown);
  });
  exit_act_ = new QAction(QStringLiteral("Exit"), this);  // owned by this
  exit_act_->setShortcut(QKeySequence::Quit);
  connect(exit_act_, &QAction::triggered, this, &TFolderFrm::close);
  about_act_ = new QAction(QStringLiteral("About..."), this);  // owned by this
  connect(about_act_, &QAction::triggered, this, [this] { about_frm_->exec(); });
}

void TFolderFrm::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(actions_[aiOpenProject]);
  file->addSeparator();
  file->addActions({actions_[aiConnect], actions_[aiEditProject], actions_[aiExtensions]});
  file->addSeparator();
  file->addAction(exit_act_);

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->addAction(project_panel_act_);
  view->addSeparator();
  view->addActions({actions_[aiViewIcons], actions_[aiViewList], actions_[aiViewDetails]});

  QMenu* operations = menuBar()->addMenu(QStringLiteral("&Operations"));
  operations->addActions({actions_[aiOpen], actions_[aiSync], actions_[aiUploadFresh],
                          actions_[aiAutoSync], actions_[aiResolve]});
  operations->addSeparator();
  operations->addActions({actions_[aiCreateFile], actions_[aiCreateFolder]});
  operations->addSeparator();
  operations->addActions({actions_[aiDelete], actions_[aiClearCache]});

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(about_act_);
}

void TFolderFrm::CreateToolBars() {
  auto* main_tbr = new QToolBar(QStringLiteral("Main"), this);  // owned by this
  main_tbr->setObjectName(QStringLiteral("MainTbr"));
  main_tbr->setMovable(false);
  main_tbr->setFloatable(false);
  main_tbr->setIconSize(QSize(16, 16));
  main_tbr->toggleViewAction()->setEnabled(false);
  main_tbr->addAction(actions_[aiFolderUp]);
  main_tbr->addSeparator();
  main_tbr->addActions({actions_[aiSync], actions_[aiUploadFresh]});
  main_tbr->addSeparator();
  main_tbr->addActions({actions_[aiCreateFile], actions_[aiCreateFolder]});
  main_tbr->addSeparator();
  main_tbr->addActions({actions_[aiDelete], actions_[aiClearCache]});
  main_tbr->addSeparator();
  auto* toggle_view = new QToolButton(main_tbr);  // owned by the toolbar
  toggle_view->setObjectName(QStringLiteral("ToggleViewBtn"));
  toggle_view->setDefaultAction(actions_[aiToggleView]);
  auto* styles = new QMenu(toggle_view);  // owned by the button
  styles->addActions({actions_[aiViewIcons], actions_[aiViewList], actions_[aiViewDetails]});
  toggle_view->setMenu(styles);
  toggle_view->setPopupMode(QToolButton::MenuButtonPopup);
  main_tbr->addWidget(toggle_view);

  // The projects toolbar sits at the right end of the same row.
  auto* spacer = new QWidget(main_tbr);  // owned by the toolbar
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  main_tbr->addWidget(spacer);
  auto* projects_tbr = new QWidget(main_tbr);  // owned by the toolbar
  projects_tbr->setObjectName(QStringLiteral("ProjectsTbr"));
  auto* row = new QHBoxLayout(projects_tbr);  // owned by projects_tbr
  row->setContentsMargins(0, 0, 0, 0);
  projects_cbx_ = new QComboBox(projects_tbr);  // owned by projects_tbr
  projects_cbx_->setObjectName(QStringLiteral("ProjectsCbx"));
  projects_cbx_->setFixedWidth(169);
  auto* edit_project = new QToolButton(projects_tbr);  // owned by projects_tbr
  edit_project->setDefaultAction(actions_[aiEditProject]);
  edit_project->setAutoRaise(true);
  row->addWidget(projects_cbx_);
  row->addWidget(edit_project);
  projects_tbr_act_ = main_tbr->addWidget(projects_tbr);
  connect(projects_cbx_, &QComboBox::activated, this, &TFolderFrm::ProjectsCbxChange);
  addToolBar(Qt::TopToolBarArea, main_tbr);
}

void TFolderFrm::CreateCentralWidget() {
  auto* central = new QWidget(this);        // owned by this
  auto* column = new QVBoxLayout(central);  // owned by central
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* path_row = new QHBoxLayout;  // owned by column below
  path_row->setContentsMargins(6, 0, 0, 0);
  path_row->addWidget(new QLabel(QStringLiteral("Path:"), central));
  path_tbr_ = new TPathTbr(central);  // owned by central
  path_row->addWidget(path_tbr_, 1);
  column->addLayout(path_row);
  files_lvw_ = new TFilesLvw(*files_, central);  // owned by central
  column->addWidget(files_lvw_, 1);
  setCentralWidget(central);

  connect(path_tbr_, &TPathTbr::ButtonClicked, this, &TFolderFrm::PathButtonClick);
  connect(files_lvw_, &TFilesLvw::Activated, this, &TFolderFrm::FilesLvwDblClick);
  connect(files_lvw_, &TFilesLvw::SelectionChanged, this, &TFolderFrm::UpdateActions);
  connect(files_, &TFileListModel::RenameRequested, this, &TFolderFrm::RenameRequested);
  // A state shown anew may change what the selection allows.
  connect(files_, &QAbstractItemModel::dataChanged, this, &TFolderFrm::UpdateActions);
  connect(files_, &QAbstractItemModel::rowsRemoved, this, &TFolderFrm::UpdateActions);
  connect(files_, &QAbstractItemModel::modelReset, this, &TFolderFrm::UpdateActions);
}

// --- Projects -----------------------------------------------------------------

bool TFolderFrm::Start(const std::string& project_file) {
  std::unique_ptr<TProject> project;
  std::string path = project_file;
  if (!path.empty()) {
    try {
      project = TProject::CreateFromFile(path, NewProjectOptions());
    } catch (const std::exception&) {
      // Not reported: the chooser opens in the file's folder instead.
      path = FolderPart(path);
    }
  }
  try {
    if (!project) project = ChooseProject(path);
    const bool connect = project->Connected();
    OpenProject(std::move(project), connect);
  } catch (const EProjectNotChosen&) {
    close();
    return false;
  } catch (const std::exception& error) {
    ShowErrorBox(this, error);
  }
  return true;
}

TStrategyKind TFolderFrm::StrategyKind() const {
  return strategy_->Kind();
}

TProjectOptions TFolderFrm::NewProjectOptions() const {
  return options_.ProjectOptions ? options_.ProjectOptions() : TProjectOptions{};
}

std::unique_ptr<TProject> TFolderFrm::ChooseProject(const std::string& initial_path) {
  std::optional<TProjectHeader> shown;
  if (project_) shown = project_->Header();
  TChooseProjectFrm& chooser = *choose_project_frm_;
  if (chooser.ExecuteChoose(initial_path, shown ? &*shown : nullptr) != QDialog::Accepted)
    throw EProjectNotChosen();
  std::string file_name = chooser.GetProjectFileName();
  if (file_name.empty()) throw EProjectNotChosen();
  file_name = std::filesystem::absolute(file_name).lexically_normal().string();
  std::unique_ptr<TProject> project =
      std::filesystem::exists(file_name)
          ? TProject::CreateFromFile(file_name, NewProjectOptions())
          : TProject::Create({}, {}, {}, {}, file_name, NewProjectOptions());
  chooser.WriteTo(*project);
  std::filesystem::create_directories(project->LocalRoot());
  return project;
}

void TFolderFrm::OpenProject(std::unique_ptr<TProject> project, bool connect) {
  CloseProject();
  project_ = std::move(project);
  project_->Install();
  ShowProject(connect);
}

void TFolderFrm::ShowProject(bool connect) {
  setWindowTitle(Qs(NamePart(project_->LocalRoot())) + QStringLiteral(" - ") + kTitle);
  // Not owned: the device is freed before the window (CloseProject).
  project_->Device().SetWatcher(
      std::shared_ptr<IConnectionWatcher>(std::shared_ptr<IConnectionWatcher>(), this));
  SetStrategy(skDisconnected);
  main_sbr_->SetConnection(TMainSbr::lkDisconnected);
  main_sbr_->SetConnectionText({});
  actions_[aiConnect]->setText(QStringLiteral("Connect"));
  SetShownFolder(project_->Root());
  UpdatePathBar();
  actions_[aiAutoSync]->setChecked(project_->Device().AutoUploadFresh());
  RefreshProjectList();
  // Connecting opens the root itself. Opened now as well, the open would
  // still run when the connection comes, and the device's open after
  // connecting would count as its duplicate: the server side would stay
  // unlisted.
  if (connect)
    RunAction(aiConnect);
  else
    project_->Root().Open();
}

void TFolderFrm::CloseProject() {
  if (!project_) return;
  drop_job_.reset();  // cancels a running drop and waits for it
  SetStrategy(skNoProject);
  if (shown_ != nullptr) SetShownFolder(*shown_);
  TSynDevice& device = project_->Device();
  device.SetWatcher(nullptr);
  TransfersEndedHere();
  const bool connected = device.IsConnected();
  if (TWaiter::LiveCount() > 0) {
    // A disconnect ends the transfers at once; a download cut short leaves
    // the local copy as it was.
    main_sbr_->SetConnectionText(QStringLiteral("Disconnecting..."));
    device.Disconnect();
    WaitForOperations();
  }
  SaveProject(TProjectFlags{device.AutoUploadFresh(), connected});
  shown_ = nullptr;
  project_.reset();  // none while its nodes report their removal
  WaitForOperations();
  files_->Clear();
  UpdatePathBar();
  setWindowTitle(kTitle);
  main_sbr_->SetConnection(TMainSbr::lkNone);
  main_sbr_->SetConnectionText({});
  const QSignalBlocker quiet(projects_cbx_);
  projects_cbx_->clear();
}

void TFolderFrm::SaveProject(const std::optional<TProjectFlags>& flags) {
  TSaveResult saved;
  try {
    saved = flags ? project_->Save(*flags) : project_->Save();
  } catch (const std::exception& error) {
    saved = {false, error.what()};
  }
  if (!saved)
    ShowErrorBox(this, Qs("Project '" + project_->FileName() + "' Was Not Saved: " + saved.Error));
}

void TFolderFrm::RefreshProjectList() {
  const QSignalBlocker quiet(projects_cbx_);
  projects_cbx_->clear();
  if (!project_) return;
  for (const std::string& folder : choose_project_frm_->Folders())
    projects_cbx_->addItem(Qs(NamePart(folder)));
  int selected = OpenProjectIndex();
  if (selected < 0) {
    choose_project_frm_->AddProject(project_->LocalRoot());
    projects_cbx_->addItem(Qs(NamePart(project_->LocalRoot())));
    selected = projects_cbx_->count() - 1;
  }
  projects_cbx_->setCurrentIndex(selected);
}

int TFolderFrm::OpenProjectIndex() const {
  if (!project_) return -1;
  const std::vector<std::string> folders = choose_project_frm_->Folders();
  for (std::size_t i = 0; i < folders.size(); ++i)
    if (folders[i] == project_->LocalRoot()) return static_cast<int>(i);
  return -1;
}

void TFolderFrm::ProjectsCbxChange(int index) {
  if (index == OpenProjectIndex()) return;
  ReportErrors(this, [&] {
    try {
      choose_project_frm_->SelectFolder(index);
      const std::string file_name = choose_project_frm_->GetProjectFileName();
      if (!std::filesystem::exists(file_name)) {
        const std::string folder = FolderPart(file_name);
        choose_project_frm_->DeleteProject(folder);
        RefreshProjectList();
        throw EProjectDoesntExist(folder);
      }
      OpenProject(TProject::CreateFromFile(file_name, NewProjectOptions()));
    } catch (...) {
      const QSignalBlocker quiet(projects_cbx_);
      projects_cbx_->setCurrentIndex(OpenProjectIndex());
      throw;
    }
  });
}

void TFolderFrm::SetStrategy(TStrategyKind kind) {
  std::erase_if(strategies_, [](const auto& made) { return made.expired(); });
  strategy_ = std::make_shared<TDisplayStrategy>(kind, *this);
  strategies_.push_back(strategy_);
  if (kind == skNoProject) main_sbr_->SetConnectionText({});
  UpdateActions();
}

void TFolderFrm::SetShownFolder(TSynFolder& folder) {
  if (shown_ != nullptr) {
    shown_->SetDisplay(nullptr);
    for (auto children = shown_->GetChildren(); !children->Done();)
      children->Next().SetDisplay(nullptr);
  }
  shown_ = &folder;
  folder.SetDisplay(strategy_);
  for (auto children = folder.GetChildren(); !children->Done();)
    children->Next().SetDisplay(strategy_);
}

// --- For the display strategies ---------------------------------------------

TSynFolder* TFolderFrm::CurrentFolder() const {
  return project_ ? &project_->Device().CurrentFolder() : nullptr;
}

void TFolderFrm::ShowFolder(TSynFolder& folder, TStrategyKind kind) {
  SetShownFolder(folder);
  if (kind == skNoProject) {
    files_->Clear();
    return;
  }
  files_->KeepChildrenOf(folder);
  for (auto children = folder.GetChildren(); !children->Done();) ShowNode(children->Next(), kind);
  UpdateActions();
}

void TFolderFrm::ShowNode(TNode& node, TStrategyKind kind) {
  if (kind == skNoProject || !project_) {
    files_->Clear();
    return;
  }
  // Reading the state may take the node out of the tree; the hold keeps it
  // alive until its item is settled.
  TNodeHold hold(node);
  TNodeFacts facts;
  try {
    facts = ReadNodeFacts(node, project_->LocalRoot());
  } catch (const ETerminated&) {
    files_->Remove(node);
    return;
  }
  if (node.IsDetached()) {
    files_->Remove(node);
    return;
  }
  files_->Show(node, facts, NodeView(kind, facts));
}

void TFolderFrm::UpdatePathBar() {
  path_tbr_->SetCaptions(
      shown_ != nullptr
          ? PathBarCaptions(*shown_, project_ != nullptr ? project_->Host() : std::string())
          : std::vector<std::string>(),
      icons_.FolderIcon());
}

void TFolderFrm::ShowNodeError(TNode& node, const std::exception& error) {
  main_sbr_->SetErrorText(ErrorPanelText(NodeErrorText(error.what(), node.Name())));
}

QString TFolderFrm::ErrorPanelText(const std::string& text) const {
  // One line: a server's reply may end in a line break or span several.
  return Qs(text).trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// --- IConnectionWatcher ---------------------------------------------------------

void TFolderFrm::Connected() {
  SetStrategy(skConnected);
  if (shown_ != nullptr) SetShownFolder(*shown_);
  main_sbr_->SetConnection(TMainSbr::lkConnected);
  const TConnectionPanel panel =
      ConnectedPanel(project_->Device().Encrypted(), project_->TlsMode(), project_->TlsOffered());
  main_sbr_->SetConnectionText(Qs(panel.Text), Qs(panel.ToolTip));
  actions_[aiConnect]->setText(QStringLiteral("Disconnect"));
  TransfersEndedHere();
}

void TFolderFrm::Disconnected() {
  SetStrategy(skDisconnected);
  if (shown_ != nullptr) SetShownFolder(*shown_);
  main_sbr_->SetConnection(TMainSbr::lkDisconnected);
  main_sbr_->SetConnectionText(QStringLiteral("Disconnected"));
  actions_[aiConnect]->setText(QStringLiteral("Connect"));
  TransfersEndedHere();
}

void TFolderFrm::ConnectFailed(const std::exception& error) {
  main_sbr_->SetConnection(TMainSbr::lkDisconnected);
  main_sbr_->SetConnectionText(QStringLiteral("Disconnected"));
  main_sbr_->SetErrorText(ErrorPanelText(ConnectErrorText(error.what())));
  // A project that connected at once has shown nothing yet.
  if (shown_ != nullptr) shown_->Open();
  // Asked from the event loop once the device has ended its connect (a
  // post from the main thread would run at once), so that accepting can
  // connect again.
  if (auto question = CertificateQuestion(error, project_->Host())) {
    QTimer::singleShot(0, this, [this, project = project_.get(), question = std::move(*question)] {
      AcceptCertificate(project, question);
    });
  }
}

void TFolderFrm::TransfersStarted(std::int64_t base) {
  MainThread().Post([this, alive = std::weak_ptr<int>(alive_), base] {
    if (alive.expired()) return;
    progress_base_ = base;
    main_sbr_->SetProgress(0);
    main_sbr_->ShowProgress(true);
    progress_tmr_->start();
  });
}

void TFolderFrm::TransfersEnded() {
  MainThread().Post([this, alive = std::weak_ptr<int>(alive_)] {
    if (!alive.expired()) TransfersEndedHere();
  });
}

void TFolderFrm::TransfersEndedHere() {
  main_sbr_->ShowProgress(false);
  progress_tmr_->stop();
}

void TFolderFrm::WatchFailed(const std::string& message) {
  main_sbr_->SetErrorText(ErrorPanelText(ConnectErrorText(message)));
}

void TFolderFrm::ProgressTmrTimer() {
  if (!project_) return;
  const TTransferProgress progress = project_->Device().GetProgress();
  if (progress_tmr_->isActive())
    main_sbr_->SetProgress(TransferPercent(progress.Position, progress.Total, progress_base_));
}

void TFolderFrm::closeEvent(QCloseEvent* event) {
  ReportErrors(this, [&] { SavePanelSetting(store_, project_panel_act_->isChecked()); });
  ReportErrors(this, [&] { CloseProject(); });
  event->accept();
}

}  // namespace ravelo
