#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace ravelo {

class TProject;
class TSettingsStore;
struct TProjectHeader;

// The project chooser: a project folder (a known one from the list, or one
// typed or browsed for) and the project's connection settings. The known
// folders live in the settings store; OK adds the chosen one. Picking or
// typing a folder whose project file exists shows that file's settings;
// a folder without one keeps the settings shown, as a start for a new
// project (at first those of a new project: "Automatic" data connections,
// "Use TLS if offered"). The password is masked. One dialog is made at start-up and
// reused. GUI thread only.
class TChooseProjectFrm : public QDialog {
  Q_OBJECT

 public:
  // store outlives the dialog. Loads the known folders; a settings file
  // that cannot be read is reported and the list starts empty.
  explicit TChooseProjectFrm(TSettingsStore& store, QWidget* parent = nullptr);

  // Choose or create a project, starting at path (a folder). The settings
  // shown are shown (those of the open project), else those of path's
  // project file when it has one. The folder can be changed.
  int ExecuteChoose(const std::string& path, const TProjectHeader* shown = nullptr);
  // Edit the settings of the known project at index, starting from shown
  // (the open project's own); the folder stays fixed.
  int ExecuteEdit(int index, const TProjectHeader& shown);

  // The chosen folder's project file; empty without a folder.
  std::string GetProjectFileName() const;
  // The settings shown, for a project whose settings were old: a
  // certificate accepted for the old host, and its having offered TLS,
  // are forgotten when the host changes.
  TProjectHeader Settings(const TProjectHeader& old) const;
  // Writes Settings(project.Header()) to the project.
  void WriteTo(TProject& project) const;

  // The known folders, in list order.
  std::vector<std::string> Folders() const;
  // Makes the known folder at index the chosen one, showing the settings
  // as they are.
  void SelectFolder(int index);
  // Adds a folder to the known ones and saves the list.
  void AddProject(const std::string& path);
  // Forgets a known folder, empties the four settings and saves the list
  // (without a folder typed but not confirmed).
  void DeleteProject(const std::string& path);

  // OK: saves the list first.
  void accept() override;

 private:
  // Saves the known folders, with the chosen one when it is new.
  void SaveProjectList();
  // The chosen folder changed: shows its project file's settings.
  void FolderChange();
  void UpdateDeleteButton();
  void BrowseBtnClick();
  void DeleteBtnClick();
  void ShowSettings(const TProjectHeader& header);

  TSettingsStore& store_;
  QComboBox* local_folder_cbx_;
  QPushButton* browse_btn_;
  QPushButton* delete_btn_;
  QLineEdit* host_edt_;
  QLineEdit* login_edt_;
  QLineEdit* password_edt_;
  QLineEdit* remote_folder_edt_;
  QComboBox* data_mode_cbx_;
  QComboBox* tls_mode_cbx_;
};

}  // namespace ravelo
