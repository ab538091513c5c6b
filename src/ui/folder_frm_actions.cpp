// The main window's actions: their enable rules and what each starts.

#include "ui/folder_frm.h"

#include <QAction>
#include <QDialog>

#include <type_traits>

#include "sync/local_changes.h"
#include "sync/local_copy.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"
#include "ui/choose_project_frm.h"
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
#include "ui/qt_text.h"
#include "ui/question_box.h"
#include "ui/resolve_frm.h"

namespace ravelo {

TActionInputs TFolderFrm::ActionInputs(const std::vector<QModelIndex>& rows) const {
  TActionInputs inputs;
  inputs.Strategy = strategy_->Kind();
  inputs.ShownFolderIsRoot = !project_ || shown_ == &project_->Root();
  for (const QModelIndex& index : rows) {
    if (const TNodeFacts* facts = files_->FactsAt(index))
      inputs.Selection.push_back({facts->Folder, !facts->Folder, facts->State, facts->Local});
  }
  return inputs;
}

void TFolderFrm::UpdateActions() {
  if (files_lvw_ == nullptr) return;
  const std::vector<QModelIndex> rows = files_lvw_->SelectedRows();
  const TActionInputs inputs = ActionInputs(rows);
  for (int id = 0; id < kActionCount; ++id)
    actions_[static_cast<std::size_t>(id)]->setEnabled(
        ActionEnabled(static_cast<TActionId>(id), inputs));
  const TNodeFacts* single = rows.size() == 1 ? files_->FactsAt(rows.front()) : nullptr;
  main_sbr_->SetSizeText(Qs(SizePanelText(static_cast<int>(rows.size()),
                                          single != nullptr ? single->SizeText : std::string())));
}

void TFolderFrm::RunAction(TActionId action) {
  UpdateActions();
  actions_[action]->trigger();  // nothing while disabled
}

void TFolderFrm::ExecuteAction(TActionId action) {
  ReportErrors(this, [&] {
    switch (action) {
      case aiConnect:
        ConnectActExecute();
        break;
      case aiFolderUp:
        FolderUpActExecute();
        break;
      case aiSync:
        ForEachSelected([](TNode& node) { node.Synchronize(); });
        break;
      case aiUploadFresh:
        ForEachSelected([](TNode& node) { node.UploadFresh(); });
        break;
      case aiCreateFile:
        CreateActExecute(false);
        break;
      case aiCreateFolder:
        CreateActExecute(true);
        break;
      case aiDelete:
        ForEachSelected([](TNode& node) { node.Delete(); });
        break;
      case aiClearCache:
        ClearCacheActExecute();
        break;
      case aiExtensions:
        if (project_) extensions_frm_->Execute(project_->Extensions(), store_);
        break;
      case aiToggleView:
        SetViewStyle(NextViewStyle(files_lvw_->ViewStyle()));
        break;
      case aiOpen:
        if (const std::vector<TNode*> nodes = files_lvw_->SelectedNodes(); !nodes.empty())
          nodes.front()->Open();
        break;
      case aiResolve:
        ResolveActExecute();
        break;
      case aiAutoSync:
        AutoSyncActExecute();
        break;
      case aiEditProject:
        EditProjectActExecute();
        break;
      case aiViewIcons:
        SetViewStyle(vsIcons);
        break;
      case aiViewList:
        SetViewStyle(vsList);
        break;
      case aiViewDetails:
        SetViewStyle(vsDetails);
        break;
      case aiOpenProject:
        OpenProjectActExecute();
        break;
    }
  });
}

void TFolderFrm::ConnectActExecute() {
  if (!project_) return;
  TSynDevice& device = project_->Device();
  if (device.IsConnected()) {
    device.Disconnect();
    return;
  }
  main_sbr_->SetConnectionText(QStringLiteral("Connecting..."));
  device.Connect();
}

void TFolderFrm::AcceptCertificate(const TProject* project, const TCertificateQuestion& question) {
  // Never for another project than the one refused, before or after asking.
  if (project_.get() != project || !AskQuestion(this, Qs(question.Text)) ||
      project_.get() != project)
    return;
  project_->AcceptFingerprint(question.Fingerprint);
  SaveProject();
  if (!project_->Device().IsConnected()) ConnectActExecute();
}

void TFolderFrm::FolderUpActExecute() {
  if (shown_ == nullptr) return;
  if (auto* parent = dynamic_cast<TSynFolder*>(shown_->Parent())) {
    parent->SetDisplay(strategy_);
    parent->Open();
  }
}

void TFolderFrm::ForEachSelected(const std::function<void(TNode&)>& start) {
  std::vector<TNodeHold> holds;
  for (TNode* node : files_lvw_->SelectedNodes()) holds.emplace_back(*node);
  for (const TNodeHold& node : holds) start(*node);
}

void TFolderFrm::ClearCacheActExecute() {
  int changed = 0;
  for (TNode* node : files_lvw_->SelectedNodes()) changed += CountLocalChanges(*node);
  // Asked once for the whole selection; No clears nothing.
  const bool force = changed > 0 && AskQuestion(this, Qs(ClearCacheQuestion(changed)));
  if (changed > 0 && !force) return;
  ForEachSelected([force](TNode& node) { node.ClearCache(force); });
}

void TFolderFrm::CreateActExecute(bool folder) {
  if (!project_) return;
  TSynFolder& parent = project_->Device().CurrentFolder();
  const std::string name = UniqueCaption(folder ? "New Folder" : "New File", files_->Captions());
  const auto create = [&](auto type) {
    auto node = parent.MakeHeldChild<typename decltype(type)::type>(name);
    if (&parent == shown_ && !node->IsDetached()) {
      // Listed whatever the strategy, so that its name can be typed at once.
      const TNodeFacts facts = ReadNodeFacts(*node, project_->LocalRoot());
      TNodeView view = NodeView(strategy_->Kind(), facts);
      if (!view.Listed) view = NodeView(skConnected, facts);
      files_->Show(*node, facts, view);
      files_lvw_->Edit(files_->IndexOf(*node));
    }
    node->CreateLocal();
  };
  if (folder)
    create(std::type_identity<TSynFolder>());
  else
    create(std::type_identity<TSynFile>());
}

void TFolderFrm::ResolveActExecute() {
  const std::vector<TNode*> nodes = files_lvw_->SelectedNodes();
  if (nodes.empty() || !project_) return;
  auto* file = dynamic_cast<TSynFile*>(nodes.front());
  if (file == nullptr) return;
  TNodeHold hold(*file);
  const TResolveResult answer = resolve_frm_->Execute(*file);
  if (file->IsDetached() || !project_) return;
  switch (answer) {
    case rrDeleteLocal:
      file->ClearCache(true);  // the user chose to drop the local copy
      break;
    case rrIdentical:
      file->MarkSynchronized();
      file->Display()->NodeChanged(*file);
      break;
    case rrCopy:
      // The folder watcher then finds the copy and the missing local file.
      // A move that fails is shown: the user asked for a copy to be kept.
      RenameLocalCopy(project_->LocalRoot(), *file);
      break;
    case rrCancel:
      break;
  }
}

void TFolderFrm::AutoSyncActExecute() {
  if (!project_) return;
  TSynDevice& device = project_->Device();
  device.SetAutoUploadFresh(actions_[aiAutoSync]->isChecked());
  if (device.AutoUploadFresh() && device.IsConnected()) device.UploadFreshInCurrentFolder();
}

void TFolderFrm::EditProjectActExecute() {
  const int index = OpenProjectIndex();
  if (index < 0) return;
  TChooseProjectFrm& chooser = *choose_project_frm_;
  if (chooser.ExecuteEdit(index, project_->Header()) != QDialog::Accepted || !project_) return;
  chooser.WriteTo(*project_);
}

void TFolderFrm::OpenProjectActExecute() {
  try {
    OpenProject(ChooseProject(project_ ? project_->LocalRoot() : std::string()));
  } catch (const EProjectNotChosen&) {
    // Cancelled: the open project stays.
  }
}

void TFolderFrm::SetViewStyle(TViewStyle style) {
  files_lvw_->SetViewStyle(style);
  const TActionId checked = style == vsIcons  ? aiViewIcons
                            : style == vsList ? aiViewList
                                              : aiViewDetails;
  actions_[checked]->setChecked(true);
}

void TFolderFrm::FilesLvwDblClick() {
  if (const auto action = DoubleClickAction(ActionInputs(files_lvw_->SelectedRows())))
    RunAction(*action);
}

void TFolderFrm::PathButtonClick(int index) {
  if (shown_ == nullptr) return;
  TNode* node = shown_;
  for (int up = PathButtonLevelsUp(path_tbr_->ButtonCount(), index); up > 0 && node->Parent(); --up)
    node = node->Parent();
  node->SetDisplay(strategy_);
  node->Open();
}

void TFolderFrm::RenameRequested(TNode* node, const QString& new_name) {
  ReportErrors(this, [&] { node->Rename(Std(new_name)); });
}

}  // namespace ravelo
