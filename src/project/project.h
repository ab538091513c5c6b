#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device/syn_device.h"
#include "platform/launcher.h"
#include "project/project_header.h"
#include "settings/extensions.h"
#include "sync/server.h"
#include "sync/sync_project.h"

namespace ravelo {

class TSynFolder;

struct TProjectOptions {
  // The FTP clients of the device's servers (host and login come from the
  // header at each connect).
  TFtpSettings Client = TServer::DefaultClientSettings();
  // The device's folder watcher.
  TWatchOptions Watch;
  // Opens local copies; none: a TSpawnLauncher.
  std::unique_ptr<ILauncher> Launcher;
  // A server connection idle this long sends NOOP (keep-alive).
  std::chrono::milliseconds KeepAliveIdle = std::chrono::minutes(1);
};

// The two flags of the header as a front end that is not the window saves
// them: as it found them, so that how the window opens the project (its
// "Auto Upload Fresh", connecting at once) does not change behind its back.
struct TProjectFlags {
  bool AutoUploadFresh = true;
  bool Connected = true;
};

// What Save answers: whether the file was written, else why not.
struct TSaveResult {
  bool Saved = true;
  std::string Error;  // the failure's message when not saved
  explicit operator bool() const { return Saved; }
};

// One site: its connection settings (the header), the node tree, the
// synchronization device and the extension settings, and the project file
// that keeps them. The local root is the folder holding the project file.
//
// Lifetime: made by Create or CreateFromFile, which set it up and load it
// without touching the project that may still be open. Install makes it the
// open project: it installs itself as the sync project and its device as
// the server assigner; once installed, only the destructor uninstalls it.
// The destructor saves nothing (the caller saves first) and frees, in this
// order, the device (the tree's nodes forget it first), the tree, the
// header and the extension settings. Operations of the tree still running
// then lose their project: the caller lets them end first.
//
// Threads: the main thread makes, installs, saves, edits and frees the
// project. The ISyncProject operations are called from any thread;
// header_mutex_ guards header_, the rest does not change while installed.
class TProject final : public ISyncProject {
 public:
  // A new project with an empty tree for the file (which need not exist).
  // Throws ENoLocalRoot when the name has no folder part, and what loading
  // the extension settings throws (their absence is no error).
  static std::unique_ptr<TProject> Create(std::string host, std::string login, std::string password,
                                          std::string remote_path, std::string file_name,
                                          TProjectOptions options = {});
  // Opens a project file. Throws std::system_error when it cannot be read,
  // an EProject or the tree's errors when it is damaged (nothing of it is
  // kept), or as Create.
  static std::unique_ptr<TProject> CreateFromFile(std::string file_name,
                                                  TProjectOptions options = {});
  ~TProject() override;
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // Makes this the open project (the previous one must be freed first).
  void Install();

  // Writes the project file: the header with the device's "Auto Upload
  // Fresh" and connection state, then a record of every file synchronized
  // at least once. The file is replaced in one step (TReplacementFile):
  // whatever happens, the previous file or the new one is there, whole,
  // and readable by its owner only. Throws std::system_error when the
  // local root cannot be made or the ".new" file not created; any later
  // failure is answered (Saved false, with the message), the previous file
  // untouched. Main thread.
  [[nodiscard]] TSaveResult Save();
  // Save, writing these flags instead of the device's.
  [[nodiscard]] TSaveResult Save(const TProjectFlags& flags);
  // Replaces the connection settings (both flags become true until the
  // next Save takes them from the device); the settings below stay as they
  // are. Main thread.
  void SetHeader(std::string host, std::string login, std::string password,
                 std::string remote_path);

  // --- How the servers connect and list: kept in the project file, read
  // by each connect (an edit takes effect on the next one). Main thread,
  // saved by the next Save. A new project: dmAutomatic, tmIfOffered, the
  // precise time rule; a file written before these settings: dmActive,
  // tmPlain, LIST.
  TFtpDataMode DataMode() const;
  void SetDataMode(TFtpDataMode mode);
  TFtpTlsMode TlsMode() const;
  void SetTlsMode(TFtpTlsMode mode);
  // The certificate accepted although it does not verify: 64 upper-case
  // hex digits, or "".
  std::string AcceptedFingerprint() const;
  // Accepts the server certificate with this SHA-256 fingerprint (as
  // EFtpCertificateRejected::Fingerprint gives it, or as typed: either
  // case, colons or blanks between digits); "" accepts none. Any other
  // certificate that does not verify is refused. Throws
  // EInvalidFingerprint for text that is not such a fingerprint.
  void AcceptFingerprint(const std::string& fingerprint);
  // The server accepted AUTH TLS once: under tmIfOffered, a server that no
  // longer does is refused. Forget it when the site really dropped TLS.
  bool TlsOffered() const;
  void ForgetTlsOffered();
  // The time rule: MLSD (exact times) when the server offers it, else
  // LIST. Files synchronized under LIST keep their state across the switch.
  bool PreciseTimes() const;
  void SetPreciseTimes(bool on);

  std::string Host() const;
  std::string Login() const;
  std::string Password() const;
  // Empty, or beginning with "/" and not ending with one.
  std::string RemotePath() const;
  // The flag as read, or as the last Save wrote it: the window connects
  // after opening a project saved while connected.
  bool Connected() const;
  TProjectHeader Header() const;

  const std::string& FileName() const { return file_name_; }
  TSynFolder& Root() { return *root_; }

  // ISyncProject.
  std::string LocalRoot() const override { return local_root_; }
  const TExtensions& Extensions() const override { return extensions_; }
  TExtensions& Extensions() { return extensions_; }
  TSynDevice& Device() override { return *device_; }
  ILauncher& Launcher() override { return *launcher_; }
  TSiteSettings Site() const override;
  void RememberTlsOffered() override;

 private:
  // Changes the header under its lock.
  template <class Change>
  void EditHeader(Change change);
  // Frees a root the way the tree wants it freed.
  struct TReleaseRoot {
    void operator()(TSynFolder* root) const;
  };

  TSaveResult Write(const TProjectFlags* flags);

  // SetUp: the root, the local root, the device, the extension settings.
  TProject(std::string file_name, TProjectHeader header, TProjectOptions options);

  // Members are freed in reverse order: the device, the tree, the header,
  // the extension settings.
  const std::string file_name_;
  TExtensions extensions_;
  mutable std::mutex header_mutex_;
  TProjectHeader header_;  // header_mutex_
  std::unique_ptr<ILauncher> launcher_;
  std::string local_root_;
  std::unique_ptr<TSynFolder, TReleaseRoot> root_;
  std::unique_ptr<TSynDevice> device_;
  bool installed_ = false;
};

}  // namespace ravelo
