#include "project/project.h"

#include <filesystem>
#include <utility>

#include "device/syn_device.h"
#include "model/server_assigner.h"
#include "net/tls.h"
#include "platform/launcher.h"
#include "project/project_errors.h"
#include "project/project_file_io.h"
#include "project/project_records.h"
#include "project/project_stream.h"
#include "settings/extension_error.h"
#include "settings/settings_store.h"
#include "sync/syn_folder.h"

namespace ravelo {

namespace {

bool IsInstalledProject(const ISyncProject& project) {
  try {
    return &SyncProject() == &project;
  } catch (const std::logic_error&) {
    return false;
  }
}

// The folder part of the file name without its trailing "/"; ENoLocalRoot
// when there is none.
std::string LocalRootOf(const std::string& file_name) {
  const auto slash = file_name.rfind('/');
  if (slash == std::string::npos) throw ENoLocalRoot();
  return file_name.substr(0, slash);
}

}  // namespace

void TProject::TReleaseRoot::operator()(TSynFolder* root) const {
  TNode::ReleaseRoot(std::unique_ptr<TNode>(root));
}

TProject::TProject(std::string file_name, TProjectHeader header, TProjectOptions options)
    : file_name_(std::move(file_name)),
      header_(std::move(header)),
      launcher_(options.Launcher ? std::move(options.Launcher)
                                 : std::make_unique<TSpawnLauncher>()),
      local_root_(LocalRootOf(file_name_)),
      root_(new TSynFolder(nullptr, "")) {
  device_ = std::make_unique<TSynDevice>(*root_, local_root_,
                                         file_name_.substr(file_name_.rfind('/') + 1),
                                         options.Client, options.Watch, options.KeepAliveIdle);
  device_->SetAutoUploadFresh(header_.AutoUploadFresh);
  TSettingsStore store = TSettingsStore::CurrentUser();
  try {
    extensions_.Load(store);
  } catch (const EExtensionsNotFound&) {
    // Never saved yet: the built-in list stays in force.
  }
}

std::unique_ptr<TProject> TProject::Create(std::string host, std::string login,
                                           std::string password, std::string remote_path,
                                           std::string file_name, TProjectOptions options) {
  TProjectHeader header(std::move(host), std::move(login), std::move(password),
                        std::move(remote_path));
  return std::unique_ptr<TProject>(
      new TProject(std::move(file_name), std::move(header), std::move(options)));
}

std::unique_ptr<TProject> TProject::CreateFromFile(std::string file_name, TProjectOptions options) {
  const std::string bytes = ReadProjectFileBytes(file_name);
  TProjectReader stream(bytes);
  TProjectHeader header = TProjectHeader::CreateFromStream(stream);
  const std::string exact_records = std::move(header.ExactRecords);
  header.ExactRecords.clear();
  std::unique_ptr<TProject> project(
      new TProject(std::move(file_name), std::move(header), std::move(options)));
  ReadFileRecords(stream, *project->root_, *project->device_, exact_records);
  return project;
}

TProject::~TProject() {
  if (installed_) {
    // New waiters get no server once the device is going.
    if (&ServerAssigner() == device_.get()) SetServerAssigner(nullptr);
  }
  // The device goes first, while Device() still answers it: stopping its
  // folder watcher serves hand-overs, whose merges ask the project for it.
  // It takes itself off every node of the tree.
  device_.get_deleter()(device_.get());
  device_.release();
  if (installed_ && IsInstalledProject(*this)) SetSyncProject(nullptr);
  root_.reset();
}

void TProject::Install() {
  SetSyncProject(this);
  SetServerAssigner(device_.get());
  installed_ = true;
}

TSaveResult TProject::Save() {
  return Write(nullptr);
}

TSaveResult TProject::Save(const TProjectFlags& flags) {
  return Write(&flags);
}

TSaveResult TProject::Write(const TProjectFlags* flags) {
  if (!local_root_.empty()) std::filesystem::create_directories(local_root_);
  TReplacementFile file(file_name_);
  try {
    // The records first: the header carries their marks.
    TProjectWriter records;
    std::string marks = WriteFileRecords(records, *root_);
    TProjectHeader header;
    {
      std::lock_guard lock(header_mutex_);
      header_.AutoUploadFresh = flags ? flags->AutoUploadFresh : device_->AutoUploadFresh();
      header_.Connected = flags ? flags->Connected : device_->IsConnected();
      header = header_;
    }
    header.ExactRecords = std::move(marks);
    TProjectWriter stream;
    header.WriteTo(stream);
    stream.WriteBytes(records.Bytes());
    file.Commit(stream.Bytes());
    return {};
  } catch (const std::exception& error) {
    return {false, error.what()};
  }
}

void TProject::SetHeader(std::string host, std::string login, std::string password,
                         std::string remote_path) {
  const TProjectHeader given(std::move(host), std::move(login), std::move(password),
                             std::move(remote_path));
  EditHeader([&](TProjectHeader& header) {
    header.Host = given.Host;
    header.Login = given.Login;
    header.Password = given.Password;
    header.RemotePath = given.RemotePath;
    header.AutoUploadFresh = header.Connected = true;
  });
}

template <class Change>
void TProject::EditHeader(Change change) {
  std::lock_guard lock(header_mutex_);
  change(header_);
}

TFtpDataMode TProject::DataMode() const {
  return Header().DataMode;
}
void TProject::SetDataMode(TFtpDataMode mode) {
  EditHeader([&](TProjectHeader& header) { header.DataMode = mode; });
}
TFtpTlsMode TProject::TlsMode() const {
  return Header().TlsMode;
}
void TProject::SetTlsMode(TFtpTlsMode mode) {
  EditHeader([&](TProjectHeader& header) { header.TlsMode = mode; });
}
std::string TProject::AcceptedFingerprint() const {
  return Header().AcceptedFingerprint;
}
void TProject::AcceptFingerprint(const std::string& fingerprint) {
  const std::string normal = NormalizeFingerprint(fingerprint);
  if (normal.empty() && !fingerprint.empty()) throw EInvalidFingerprint();
  EditHeader([&](TProjectHeader& header) { header.AcceptedFingerprint = normal; });
}
bool TProject::TlsOffered() const {
  return Header().TlsOffered;
}
void TProject::ForgetTlsOffered() {
  EditHeader([](TProjectHeader& header) { header.TlsOffered = false; });
}
void TProject::RememberTlsOffered() {
  EditHeader([](TProjectHeader& header) { header.TlsOffered = true; });
}
bool TProject::PreciseTimes() const {
  return Header().PreciseTimes;
}
void TProject::SetPreciseTimes(bool on) {
  EditHeader([&](TProjectHeader& header) { header.PreciseTimes = on; });
}

TProjectHeader TProject::Header() const {
  std::lock_guard lock(header_mutex_);
  return header_;
}

std::string TProject::Host() const {
  return Header().Host;
}
std::string TProject::Login() const {
  return Header().Login;
}
std::string TProject::Password() const {
  return Header().Password;
}
std::string TProject::RemotePath() const {
  return Header().RemotePath;
}
bool TProject::Connected() const {
  return Header().Connected;
}

TSiteSettings TProject::Site() const {
  std::lock_guard lock(header_mutex_);
  return {header_.Host,
          header_.Login,
          header_.Password,
          header_.RemotePath,
          header_.DataMode,
          header_.TlsMode,
          header_.AcceptedFingerprint,
          header_.TlsOffered,
          header_.PreciseTimes};
}

}  // namespace ravelo
