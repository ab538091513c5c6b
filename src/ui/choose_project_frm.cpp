#include "ui/choose_project_frm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <system_error>

#include "net/ftp_connection_modes.h"
#include "project/project.h"
#include "project/project_errors.h"
#include "project/project_header.h"
#include "ui/error_box.h"
#include "ui/folder_frm_errors.h"
#include "ui/project_list.h"
#include "ui/qt_text.h"

namespace ravelo {

namespace {

QLineEdit* NamedEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);  // owned by parent
  edit->setObjectName(QLatin1String(name));
  edit->setMinimumWidth(260);
  return edit;
}

// A choice of modes, each item's data the mode's value.
QComboBox* ModeBox(const char* name, std::initializer_list<std::pair<const char*, int>> items,
                   QWidget* parent) {
  auto* box = new QComboBox(parent);  // owned by parent
  box->setObjectName(QLatin1String(name));
  for (const auto& [caption, value] : items) box->addItem(QString::fromUtf8(caption), value);
  return box;
}

void SelectMode(QComboBox* box, int value) {
  box->setCurrentIndex(std::max(0, box->findData(value)));
}

}  // namespace

TChooseProjectFrm::TChooseProjectFrm(TSettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
  setWindowTitle(QStringLiteral("Choose Project"));
  auto* layout = new QVBoxLayout(this);  // owned by this
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(new QLabel(QStringLiteral("Choose a folder for site's project"), this));

  auto* form = new QFormLayout;  // owned by layout below
  layout->addLayout(form);
  local_folder_cbx_ = new QComboBox(this);  // owned by this
  local_folder_cbx_->setObjectName(QStringLiteral("LocalFolderCbx"));
  local_folder_cbx_->setEditable(true);
  local_folder_cbx_->setInsertPolicy(QComboBox::NoInsert);
  local_folder_cbx_->setMinimumWidth(260);
  browse_btn_ = new QPushButton(QStringLiteral("..."), this);  // owned by this
  browse_btn_->setObjectName(QStringLiteral("BrowseBtn"));
  browse_btn_->setAutoDefault(false);
  browse_btn_->setFixedWidth(browse_btn_->fontMetrics().horizontalAdvance(QStringLiteral("...")) +
                             16);
  delete_btn_ = new QPushButton(QStringLiteral("Delete"), this);  // owned by this
  delete_btn_->setObjectName(QStringLiteral("DeleteBtn"));
  delete_btn_->setAutoDefault(false);
  auto* folder_row = new QHBoxLayout;  // owned by form below
  folder_row->addWidget(local_folder_cbx_, 1);
  folder_row->addWidget(browse_btn_);
  folder_row->addWidget(delete_btn_);
  form->addRow(QStringLiteral("Folder"), folder_row);

  host_edt_ = NamedEdit("HostEdt", this);
  login_edt_ = NamedEdit("LoginEdt", this);
  password_edt_ = NamedEdit("PasswordEdt", this);
  password_edt_->setEchoMode(QLineEdit::Password);
  remote_folder_edt_ = NamedEdit("RemoteFolderEdt", this);
  form->addRow(QStringLiteral("Host"), host_edt_);
  form->addRow(QStringLiteral("Login"), login_edt_);
  form->addRow(QStringLiteral("Password"), password_edt_);
  form->addRow(QStringLiteral("Remote path"), remote_folder_edt_);
  data_mode_cbx_ =
      ModeBox("DataModeCbx",
              {{"Automatic", dmAutomatic}, {"Passive", dmPassive}, {"Active", dmActive}}, this);
  tls_mode_cbx_ = ModeBox(
      "TlsModeCbx",
      {{"Use TLS if offered", tmIfOffered}, {"Require TLS", tmRequire}, {"Plain FTP", tmPlain}},
      this);
  form->addRow(QStringLiteral("Data connections"), data_mode_cbx_);
  form->addRow(QStringLiteral("Encryption"), tls_mode_cbx_);

  auto* buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);  // owned by this
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &TChooseProjectFrm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TChooseProjectFrm::reject);
  connect(local_folder_cbx_, &QComboBox::currentTextChanged, this,
          &TChooseProjectFrm::FolderChange);
  connect(browse_btn_, &QPushButton::clicked, this, &TChooseProjectFrm::BrowseBtnClick);
  connect(delete_btn_, &QPushButton::clicked, this, &TChooseProjectFrm::DeleteBtnClick);

  ReportErrors(parent, [&] {
    const QSignalBlocker quiet(local_folder_cbx_);
    for (const std::string& folder : LoadProjectList(store_))
      local_folder_cbx_->addItem(Qs(folder));
    local_folder_cbx_->setCurrentIndex(-1);
    local_folder_cbx_->setEditText({});
  });
  UpdateDeleteButton();
  ShowSettings(TProjectHeader({}, {}, {}, {}));
}

int TChooseProjectFrm::ExecuteChoose(const std::string& path, const TProjectHeader* shown) {
  const QString folder = Qs(StripTrailingSlashes(path));
  const int listed = local_folder_cbx_->findText(folder, Qt::MatchExactly | Qt::MatchCaseSensitive);
  {
    const QSignalBlocker quiet(local_folder_cbx_);
    if (listed >= 0) {
      local_folder_cbx_->setCurrentIndex(listed);
    } else {
      local_folder_cbx_->setCurrentIndex(-1);
      local_folder_cbx_->setEditText(folder);
    }
  }
  if (shown != nullptr)
    ShowSettings(*shown);
  else
    FolderChange();
  local_folder_cbx_->setEnabled(true);
  browse_btn_->setEnabled(true);
  UpdateDeleteButton();
  return exec();
}

int TChooseProjectFrm::ExecuteEdit(int index, const TProjectHeader& shown) {
  SelectFolder(index);
  ShowSettings(shown);
  local_folder_cbx_->setEnabled(false);
  browse_btn_->setEnabled(false);
  UpdateDeleteButton();
  return exec();
}

std::string TChooseProjectFrm::GetProjectFileName() const {
  return ProjectFileName(Std(local_folder_cbx_->currentText()));
}

TProjectHeader TChooseProjectFrm::Settings(const TProjectHeader& old) const {
  TProjectHeader settings = old;
  settings.Host = Std(host_edt_->text());
  settings.Login = Std(login_edt_->text());
  settings.Password = Std(password_edt_->text());
  settings.RemotePath = Std(remote_folder_edt_->text());
  settings.DataMode = static_cast<TFtpDataMode>(data_mode_cbx_->currentData().toInt());
  settings.TlsMode = static_cast<TFtpTlsMode>(tls_mode_cbx_->currentData().toInt());
  if (settings.Host != old.Host) {
    // Another server: what the old one presented or offered says nothing.
    settings.AcceptedFingerprint.clear();
    settings.TlsOffered = false;
  }
  return settings;
}

void TChooseProjectFrm::WriteTo(TProject& project) const {
  const TProjectHeader settings = Settings(project.Header());
  project.SetHeader(settings.Host, settings.Login, settings.Password, settings.RemotePath);
  project.SetDataMode(settings.DataMode);
  project.SetTlsMode(settings.TlsMode);
  project.AcceptFingerprint(settings.AcceptedFingerprint);
  if (!settings.TlsOffered) project.ForgetTlsOffered();
}

std::vector<std::string> TChooseProjectFrm::Folders() const {
  std::vector<std::string> folders;
  for (int i = 0; i < local_folder_cbx_->count(); ++i)
    folders.push_back(Std(local_folder_cbx_->itemText(i)));
  return folders;
}

void TChooseProjectFrm::SelectFolder(int index) {
  const QSignalBlocker quiet(local_folder_cbx_);
  local_folder_cbx_->setCurrentIndex(index);
  UpdateDeleteButton();
}

void TChooseProjectFrm::AddProject(const std::string& path) {
  const QSignalBlocker quiet(local_folder_cbx_);
  const QString text = local_folder_cbx_->currentText();
  local_folder_cbx_->addItem(Qs(StripTrailingSlashes(path)));
  local_folder_cbx_->setEditText(text);
  ravelo::SaveProjectList(store_, Folders());
}

void TChooseProjectFrm::DeleteProject(const std::string& path) {
  {
    const QSignalBlocker quiet(local_folder_cbx_);
    const QString text = local_folder_cbx_->currentText();
    const int listed = local_folder_cbx_->findText(Qs(StripTrailingSlashes(path)),
                                                   Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (listed >= 0) local_folder_cbx_->removeItem(listed);
    local_folder_cbx_->setEditText(text);
  }
  ShowSettings(TProjectHeader({}, {}, {}, {}));
  // Only the list: a folder typed and never confirmed is not stored.
  ravelo::SaveProjectList(store_, Folders());
  UpdateDeleteButton();
}

void TChooseProjectFrm::SaveProjectList() {
  std::vector<std::string> folders = Folders();
  const std::string chosen = StripTrailingSlashes(Std(local_folder_cbx_->currentText()));
  if (!chosen.empty() && std::find(folders.begin(), folders.end(), chosen) == folders.end())
    folders.push_back(chosen);
  ravelo::SaveProjectList(store_, folders);
}

void TChooseProjectFrm::accept() {
  ReportErrors(this, [&] { SaveProjectList(); });
  QDialog::accept();
}

void TChooseProjectFrm::FolderChange() {
  UpdateDeleteButton();
  const std::string file_name = GetProjectFileName();
  if (file_name.empty()) return;
  try {
    ShowSettings(TProjectHeader::CreateFromFile(file_name));
  } catch (const std::system_error&) {
    // No project there yet: the settings shown start the new one.
  } catch (const EEndOfStream&) {
    ShowErrorBox(this, EInvalidProjectFormat());
  } catch (const std::exception& error) {
    ShowErrorBox(this, error);
  }
}

void TChooseProjectFrm::UpdateDeleteButton() {
  delete_btn_->setEnabled(local_folder_cbx_->findText(local_folder_cbx_->currentText(),
                                                      Qt::MatchExactly | Qt::MatchCaseSensitive) >=
                          0);
}

void TChooseProjectFrm::BrowseBtnClick() {
  const QString folder = QFileDialog::getExistingDirectory(
      this, QStringLiteral("Choose a folder for site's project"), local_folder_cbx_->currentText());
  if (!folder.isEmpty()) local_folder_cbx_->setEditText(folder);  // tells FolderChange
}

void TChooseProjectFrm::DeleteBtnClick() {
  ReportErrors(this, [&] { DeleteProject(Std(local_folder_cbx_->currentText())); });
}

void TChooseProjectFrm::ShowSettings(const TProjectHeader& header) {
  host_edt_->setText(Qs(header.Host));
  login_edt_->setText(Qs(header.Login));
  password_edt_->setText(Qs(header.Password));
  remote_folder_edt_->setText(Qs(header.RemotePath));
  SelectMode(data_mode_cbx_, header.DataMode);
  SelectMode(tls_mode_cbx_, header.TlsMode);
}

}  // namespace ravelo
