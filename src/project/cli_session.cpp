#include "project/cli_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <utility>

#include "device/connection_watcher.h"
#include "device/syn_device.h"
#include "model/children_iterator.h"
#include "model/waiter.h"
#include "net/ftp_exceptions.h"
#include "platform/main_thread.h"
#include "project/cli_display.h"
#include "project/cli_text.h"
#include "sync/files_errors.h"
#include "sync/syn_folder.h"

namespace ravelo {

namespace {

constexpr std::chrono::milliseconds kTick{250};

// --no-launch: the copy is fetched, nothing is started.
class TNoLauncher : public ILauncher {
 public:
  bool Launch(const std::vector<std::string>&) override { return true; }
};

std::string ByteText(double bytes) {
  static constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
  std::size_t unit = 0;
  while (bytes >= 1024 && unit + 1 < std::size(kUnits)) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof(text), unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

}  // namespace

// What the device tells of its connection. Main thread, but for the
// transfer calls, which may come from a worker thread and are posted.
class TCliSession::TWatcher : public IConnectionWatcher,
                              public std::enable_shared_from_this<TWatcher> {
 public:
  explicit TWatcher(std::function<void(const std::string&)> watch_failed)
      : watch_failed_(std::move(watch_failed)) {}

  void Connected() override { connect_ended = true; }
  void Disconnected() override { disconnect_pending = false; }
  void ConnectFailed(const std::exception& error) override {
    connect_ended = true;
    connect_error = error.what();
    const auto* refused = dynamic_cast<const EFtpCertificateRejected*>(&error);
    if (refused != nullptr && refused->Reason() != EFtpCertificateRejected::crDataDiffers) {
      refused_fingerprint = refused->Fingerprint();
    }
  }
  void TransfersStarted(std::int64_t position) override {
    MainThread().Post([self = shared_from_this(), position] {
      self->transferring = true;
      self->base = position;
    });
  }
  void TransfersEnded() override {
    MainThread().Post([self = shared_from_this()] { self->transferring = false; });
  }
  void WatchFailed(const std::string& message) override { watch_failed_(message); }

  // Main thread.
  bool connect_ended = false;
  std::optional<std::string> connect_error;
  std::string refused_fingerprint;  // of a certificate the user may accept
  bool disconnect_pending = false;  // Disconnect called, Disconnected not heard
  bool transferring = false;
  std::int64_t base = 0;

 private:
  const std::function<void(const std::string&)> watch_failed_;
};

TCliSession::TCliSession(const TCliEnvironment& environment) : env_(environment) {
  display_ = std::make_shared<TCliDisplay>(
      [this](TNode& node, const std::exception& error) { Error(node, error.what()); },
      [this](TNode& file) {
        if (!report_uploads_) return;
        if (const auto path = CliNodePath(file)) {
          Print("UPLOADED\t" + *path);
          env_.Out.flush();
        }
      });
  watcher_ = std::make_shared<TWatcher>([this](const std::string& message) {
    Message(CliEscape(message));
    // Watching, a folder not watched is a change not uploaded.
    if (report_uploads_) Fail(1);
  });
}

TCliSession::~TCliSession() {
  if (project_) static_cast<void>(Close());
}

bool TCliSession::Open(const std::string& file_name, bool no_launch) {
  TProjectOptions options;
  options.Client = env_.Client;
  options.Watch = env_.Watch;
  if (no_launch) {
    options.Launcher = std::make_unique<TNoLauncher>();
  } else if (env_.MakeLauncher) {
    options.Launcher = env_.MakeLauncher();
  }
  try {
    project_ =
        TProject::CreateFromFile(std::filesystem::absolute(file_name).string(), std::move(options));
  } catch (const std::exception& error) {
    Message(CliEscape(file_name) + ": " + CliEscape(error.what()));
    Fail(2);
    return false;
  }
  const TProjectHeader header = project_->Header();
  flags_ = {header.AutoUploadFresh, header.Connected};
  project_->Install();
  AttachDisplay(project_->Root());
  Device().SetWatcher(watcher_);
  Device().SetAutoUploadFresh(false);
  return true;
}

void TCliSession::AttachDisplay(TNode& node) {
  node.SetDisplay(display_);
  for (auto children = node.GetChildren(); !children->Done();) AttachDisplay(children->Next());
}

bool TCliSession::Connect() {
  Device().Connect();
  Pump([this] { return watcher_->connect_ended; });
  if (watcher_->connect_error) {
    Message("connecting to " + CliEscape(project_->Host()) + ": " +
            CliEscape(*watcher_->connect_error));
    if (!watcher_->refused_fingerprint.empty()) {
      Message("to accept this certificate: ravelo-cli trust " + CliEscape(project_->FileName()) +
              " " + watcher_->refused_fingerprint);
    }
    Fail(1);
  } else if (project_->TlsMode() == tmIfOffered && !Device().Encrypted()) {
    // A server that accepted AUTH TLS refused to protect the data.
    Message(project_->TlsOffered() ? "plain data connections: the server refuses to encrypt them"
                                   : "plain connection: the server does not offer TLS");
  }
  WaitForOperations();
  return !watcher_->connect_error && !interrupted_;
}

TNodeHold TCliSession::Resolve(const TCliPath& path, bool open_folder, std::size_t depth) {
  TNodeHold node(project_->Root());
  const auto open = [this](TSynFolder& folder) {
    folder.Open();
    WaitForOperations();
    return !interrupted_;
  };
  // Every node a name follows must be a folder, the one depth stops at too.
  for (std::size_t i = 0; i < path.Names.size(); ++i) {
    auto* folder = node.As<TSynFolder>();
    if (folder == nullptr) {
      Error(CliPathText(path), ENoFolderWithName(path.Names[i - 1]).what(), 2);
      return {};
    }
    if (i == depth) break;
    if (!open(*folder)) return {};
    TNodeHold child = folder->HoldChild(path.Names[i]);
    if (!child) {
      const std::string& name = path.Names[i];
      Error(CliPathText(path),
            i + 1 == path.Names.size() ? "No File Or Folder With The Name \"" + name + "\" Found"
                                       : std::string(ENoFolderWithName(name).what()),
            2);
      return {};
    }
    node = std::move(child);
  }
  auto* folder = node.As<TSynFolder>();
  if (open_folder && folder != nullptr && !open(*folder)) return {};
  return node;
}

void TCliSession::OpenFolders(const std::vector<THold<TSynFolder>>& folders) {
  for (const THold<TSynFolder>& folder : folders) folder->Open();
  WaitForOperations();
}

void TCliSession::WaitForOperations() {
  Pump([this] { return TWaiter::LiveCount() == 0 && !watcher_->disconnect_pending; });
}

void TCliSession::WatchUntilSignal(std::string_view shown_path) {
  Device().SetAutoUploadFresh(true);
  report_uploads_ = true;
  Message("watching " + std::string(shown_path) + " until SIGINT or SIGTERM");
  while (!MainThread().WaitUntil([this] { return NewSignal(); }, kTick)) Tick();
  // This signal ends the watch cleanly; another one interrupts the wait.
  signals_seen_ = env_.Signals->load();
  Device().SetAutoUploadFresh(false);
  WaitForOperations();
}

void TCliSession::Pump(const std::function<bool()>& done) {
  for (;;) {
    const bool ready = MainThread().WaitUntil([&] { return done() || NewSignal(); }, kTick);
    if (NewSignal()) Interrupt();
    // Disconnecting ends every queued operation; it is accepted as soon as
    // a connect has told the servers to connect.
    if (interrupted_ && Device().IsConnected() && !watcher_->disconnect_pending) {
      watcher_->disconnect_pending = true;
      Device().Disconnect();
    }
    if (done()) return;
    if (!ready) Tick();
  }
}

bool TCliSession::NewSignal() const {
  return env_.Signals != nullptr && env_.Signals->load() > signals_seen_;
}

void TCliSession::Interrupt() {
  signals_seen_ = env_.Signals->load();
  if (interrupted_) return;
  interrupted_ = true;
  Message("interrupted");
  Fail(1);
}

void TCliSession::Tick() {
  if (!env_.ProgressLine || !project_) return;
  const TTransferProgress progress =
      watcher_->transferring ? Device().GetProgress() : TTransferProgress{};
  const std::int64_t total = progress.Total - watcher_->base;
  if (!watcher_->transferring || total <= 0) {
    ClearProgress();
    return;
  }
  const double moved = static_cast<double>(progress.Position - watcher_->base);
  env_.Err << "\rTransferring: " << std::lround(100.0 * moved / static_cast<double>(total))
           << "% of " << ByteText(static_cast<double>(total)) << "\x1b[K" << std::flush;
  progress_shown_ = true;
}

void TCliSession::ClearProgress() {
  if (!progress_shown_) return;
  env_.Err << "\r\x1b[K" << std::flush;
  progress_shown_ = false;
}

void TCliSession::Print(std::string_view line) {
  ClearProgress();
  env_.Out << line << '\n';
}

void TCliSession::PrintState(TNode& node) {
  // GetState may find a node gone on both sides, which then leaves the
  // tree: it has no line.
  const TNodeState state = node.GetState();
  if (const auto path = CliNodePath(node)) Print(StateText(state) + "\t" + *path);
}

void TCliSession::Message(std::string_view text) {
  ClearProgress();
  env_.Err << "ravelo-cli: " << text << '\n' << std::flush;
}

void TCliSession::Error(std::string_view path, std::string_view message, int status) {
  ClearProgress();
  env_.Err << "ERROR\t" << path << '\t' << CliEscape(message) << '\n' << std::flush;
  Fail(status);
}

void TCliSession::Error(const TNode& node, std::string_view message) {
  const auto path = CliNodePath(node);
  Error(path ? *path : CliEscape(node.Name()), message);
}

void TCliSession::Fail(int status) {
  status_ = std::max(status_, status);
}

int TCliSession::Close() {
  if (project_) {
    WaitForOperations();
    const std::string file_name = CliEscape(project_->FileName());
    try {
      const TSaveResult saved = project_->Save(flags_);
      if (!saved) {
        Message("cannot save " + file_name + ": " + CliEscape(saved.Error));
        Fail(1);
      }
    } catch (const std::exception& error) {
      Message("cannot save " + file_name + ": " + CliEscape(error.what()));
      Fail(1);
    }
    // Disconnects, waiting for the device's threads while serving hand-overs.
    project_.reset();
  }
  ClearProgress();
  env_.Out.flush();
  if (!env_.Out) Fail(1);  // a script lost lines it relies on
  return status_;
}

}  // namespace ravelo
