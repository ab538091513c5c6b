#include "sync/server.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <istream>
#include <optional>
#include <ostream>
#include <system_error>

#include "model/children_iterator.h"
#include "model/node.h"
#include "model/nullable.h"
#include "model/time_info.h"
#include "model/waiter.h"
#include "net/ftp_exceptions.h"
#include "platform/file_time.h"
#include "sync/device_interface.h"
#include "sync/download_temp_file.h"
#include "sync/files_errors.h"
#include "sync/local_files.h"
#include "sync/local_path.h"
#include "sync/remote_path.h"
#include "sync/server_errors.h"
#include "sync/syn_file.h"
#include "sync/sync_errors.h"
#include "sync/sync_project.h"
#include "sync/transfer_streams.h"

namespace ravelo {

namespace {

// Renames and removals of remote folders, through any server. Another
// server's working folder may be the folder moved, and a server may keep
// the moved directory itself rather than its old path: each server enters
// its folder anew when this changed since it last entered one.
std::atomic<std::uint64_t> remote_moves{0};

bool IsNotFound(const EFtpReplyError& error) {
  return error.ReplyErrorCode() == 550;
}

TTimeKind KindOf(const TFtpListItem& item) {
  return item.TimePrecision == tpExact ? TTimeKind::Exact : TTimeKind::Minute;
}

// The project file and the temporary downloads never travel: a download
// under such a name would replace the project file.
void RefuseReservedName(const TNode& node) {
  const std::string name = node.Name();
  if (SyncProject().Device().IsReservedName(name, false)) throw EInvalidNodeName(name);
}

// Held, since another thread may take the folder out of the tree meanwhile;
// a node that has left the tree has had its operation cancelled.
TNodeHold HeldParent(const TNode& node) {
  TNodeHold parent = node.ParentHold();
  if (!parent) throw ETerminated();
  return parent;
}

// Time and size of the written download, read before it is renamed into
// place: the rename keeps them, and a later edit then shows as a change.
TLocalFileInfo WrittenCopy(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) throw std::system_error(errno, std::generic_category());
  return TLocalFileInfo{FileTimeToDateTime(status.st_mtim), std::int64_t{status.st_size}};
}

// Runs a transfer; when its local stream failed, raises the system's error
// ("No space left on device") instead of the client's general one.
template <class Stream, class Transfer>
void WithLocalError(const Stream& stream, Transfer transfer) {
  try {
    transfer();
  } catch (const EFtpStreamError&) {
    if (stream.Error()) std::rethrow_exception(stream.Error());
    throw;
  }
}

// Runs the move, then tells every server that a folder may have moved,
// whether or not the server reported success.
template <class Move>
void MoveRemote(Move move) {
  try {
    move();
  } catch (...) {
    remote_moves.fetch_add(1);
    throw;
  }
  remote_moves.fetch_add(1);
}

}  // namespace

struct TServer::TQueue {
  std::mutex mutex;
  // Not owned: a waiter leaves through its end handler before it is freed.
  std::deque<TWaiter*> waiters;   // mutex
  std::weak_ptr<IServer> server;  // mutex
};

TFtpSettings TServer::DefaultClientSettings() {
  TFtpSettings settings;
  settings.RecvBufferSize = 4096;
  settings.SendBufferSize = 4096;
  return settings;
}

TServer::TServer(const TFtpSettings& client_settings) : queue_(std::make_shared<TQueue>()) {
  client_.Settings() = client_settings;
}

TServer::~TServer() {
  CancelQueue();
}

// ---------------------------------------------------------------------------
// The queue

void TServer::Enqueue(TWaiter& waiter) {
  const std::shared_ptr<IServer> self = GetServer();
  std::lock_guard lock(queue_->mutex);
  queue_->server = self;
  // The handler holds the queue, not the server: the server may be gone
  // by the time the waiter ends.
  waiter.SetEndHandler([queue = queue_, &waiter] { WaiterTerminated(*queue, waiter); });
  queue_->waiters.push_back(&waiter);
  if (queue_->waiters.size() == 1) waiter.SetServer(self);
}

void TServer::WaiterTerminated(TQueue& queue, TWaiter& waiter) {
  // Released after the lock: it may be the last reference, and the
  // server's destructor takes the lock.
  std::shared_ptr<IServer> server;
  std::lock_guard lock(queue.mutex);
  const auto found = std::find(queue.waiters.begin(), queue.waiters.end(), &waiter);
  if (found == queue.waiters.end()) return;
  const bool was_first = found == queue.waiters.begin();
  queue.waiters.erase(found);
  if (!was_first || queue.waiters.empty()) return;
  server = queue.server.lock();
  if (server) queue.waiters.front()->SetServer(server);
}

void TServer::CancelQueue() {
  std::lock_guard lock(queue_->mutex);
  for (TWaiter* waiter : queue_->waiters) waiter->Terminate();
}

bool TServer::IsBusy() const {
  std::lock_guard lock(queue_->mutex);
  return !queue_->waiters.empty();
}

std::shared_ptr<IServer> TServer::GetServer() {
  return shared_from_this();
}

// ---------------------------------------------------------------------------
// The connection

bool TServer::IsConnected() const {
  std::lock_guard state(state_mutex_);
  return logged_in_;
}

std::uint64_t TServer::Disconnects() const {
  std::lock_guard state(state_mutex_);
  return disconnects_;
}

bool TServer::Wanted() const {
  std::lock_guard state(state_mutex_);
  return wanted_;
}

void TServer::SetWanted(std::uint64_t since) {
  std::lock_guard state(state_mutex_);
  if (disconnects_ != since) throw EServerUnavailable();
  wanted_ = true;
}

void TServer::Connect() {
  std::lock_guard lock(op_lock_);
  ConnectSince(Disconnects());
}

void TServer::ConnectSince(std::uint64_t since) {
  std::lock_guard lock(op_lock_);
  ISyncProject& project = SyncProject();
  const TSiteSettings site = project.Site();
  if (client_.Connected()) CloseConnection();
  TFtpSettings& settings = client_.Settings();
  settings.Host = site.Host;
  settings.Username = site.Login;
  settings.Password = site.Password;
  settings.DataMode = site.DataMode;
  settings.TlsMode = site.TlsMode;
  settings.AcceptedFingerprint = site.AcceptedFingerprint;
  settings.TlsOfferedBefore = site.TlsMode == tmIfOffered && site.TlsOffered;
  settings.PreciseTimes = site.PreciseTimes;
  // Remembered even when the connection then fails (on its certificate,
  // say): the server did offer TLS.
  const auto remember_tls = [&] {
    if (client_.TlsOffered() && !site.TlsOffered) project.RememberTlsOffered();
  };
  try {
    client_.Connect();
  } catch (...) {
    remember_tls();
    throw;
  }
  remember_tls();
  encrypted_.store(client_.Encrypted());
  last_used_ = std::chrono::steady_clock::now();
  remote_root_ = NormalizeRemoteRoot(site.RemotePath);
  current_path_.reset();
  {
    std::lock_guard state(state_mutex_);
    if (disconnects_ == since) {
      logged_in_ = true;
      return;
    }
  }
  client_.Disconnect();
  throw EServerUnavailable();
}

void TServer::Disconnect() {
  {
    std::lock_guard state(state_mutex_);
    ++disconnects_;
    wanted_ = false;
    logged_in_ = false;
  }
  CancelQueue();
  CloseConnection();
}

void TServer::CloseConnection() {
  try {
    client_.Abort();
  } catch (...) {
  }
  try {
    client_.Quit();
  } catch (...) {
  }
  client_.Disconnect();
  encrypted_.store(false);
  std::lock_guard state(state_mutex_);
  logged_in_ = false;
}

std::chrono::steady_clock::time_point TServer::KeepAlive(std::chrono::milliseconds idle) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point now = Clock::now();
  const std::unique_lock lock(op_lock_, std::try_to_lock);
  // An operation running or about to run uses the connection anyway.
  if (!lock.owns_lock() || IsBusy() || !TServer::IsConnected() || !client_.Connected())
    return now + idle;
  if (now - last_used_ < idle) return last_used_ + idle;
  try {
    client_.Noop();
  } catch (...) {
    CloseConnection();
  }
  last_used_ = Clock::now();
  return last_used_ + idle;
}

void TServer::ConnectionTest() const {
  if (!client_.Connected()) throw EServerUnavailable();
}

// ---------------------------------------------------------------------------
// Folders

std::string TServer::RemoteNodePath(const TNode& node) const {
  std::lock_guard lock(op_lock_);
  return ::ravelo::RemoteNodePath(remote_root_, node);
}

bool TServer::InFolder(const std::string& path) const {
  return current_path_ == path && current_moves_ == remote_moves.load();
}

void TServer::ChangeDir(const std::string& path) {
  const std::uint64_t moves = remote_moves.load();
  client_.ChangeDir(path);
  current_path_ = path;
  current_moves_ = moves;
}

void TServer::EnterOrMakeChild(const std::string& name) {
  try {
    client_.ChangeDir(name);
  } catch (const EFtpReplyError& error) {
    if (!IsNotFound(error)) throw;
    client_.MakeDir(name);
    client_.ChangeDir(name);
  }
}

void TServer::EnterFolder(TNode& folder) {
  ConnectionTest();
  const std::string path = RemoteNodePath(folder);
  if (InFolder(path)) return;
  if (folder.RemotePresence() == prUnknown) {
    // Asks this server's FolderExists, which enters the folder when it can.
    folder.RefreshRemote(*this);
    if (InFolder(path)) return;
  }
  if (folder.RemotePresence() == prPresent) {
    ChangeDir(path);
    return;
  }
  // Up to the nearest folder the server has, then down again, making each
  // missing one. The folders made are not marked present here: the caller
  // does that, or the next time read from the server.
  const std::uint64_t moves = remote_moves.load();
  std::vector<std::string> missing{folder.Name()};
  TNodeHold ancestor = folder.ParentHold();
  while (ancestor) {
    if (ancestor->RemotePresence() == prUnknown) ancestor->RefreshRemote(*this);
    if (ancestor->RemotePresence() == prPresent) break;
    missing.push_back(ancestor->Name());
    ancestor = ancestor->ParentHold();
  }
  if (!ancestor) throw ENoRemoteParent();
  const std::string start = RemoteNodePath(*ancestor);
  if (!InFolder(start)) ChangeDir(start);
  current_path_.reset();
  for (auto name = missing.rbegin(); name != missing.rend(); ++name) EnterOrMakeChild(*name);
  current_path_ = path;
  current_moves_ = moves;
}

// ---------------------------------------------------------------------------
// Listings and transfers

void TServer::SetTransferType(std::string_view name) {
  client_.SetTransferType(TransferTypeOf(name));
}

void TServer::ListMinutes(std::vector<std::string>& lines) {
  bool& precise = client_.Settings().PreciseTimes;
  const bool was = precise;
  precise = false;
  try {
    client_.List(lines);
  } catch (...) {
    precise = was;
    throw;
  }
  precise = was;
}

std::optional<TRemoteFileInfo> TServer::ListAndFind(const std::string& name, bool minutes) {
  std::vector<std::string> lines;
  if (minutes) {
    ListMinutes(lines);
  } else {
    client_.List(lines);
  }
  for (const TFtpListItem& item : client_.DirectoryListing())
    if (item.FileName == name) return TRemoteFileInfo{item.ModifiedDate, item.Size, KindOf(item)};
  return std::nullopt;
}

std::optional<TRemoteFileInfo> TServer::ReadFileInfo(const std::string& name, bool with_minute) {
  // One file's exact time only where folders list exact times too: a
  // record from MDTM could never be compared with a LIST time.
  if (!client_.ListsExactTimes()) return ListAndFind(name, false);
  const std::optional<TFtpListItem> item = client_.FileInfo(name);
  if (!item) return std::nullopt;
  TRemoteFileInfo info{item->ModifiedDate, item->Size, TTimeKind::Exact};
  if (with_minute) {
    if (const auto listed = ListAndFind(name, true))
      info.ListedMinute.SetValue(listed->Modified, listed->Kind);
  }
  return info;
}

void TServer::AddListedMinutes(TNode& folder, ITimeInfo& listing) {
  bool wanted = false;
  for (auto it = folder.GetChildren(); !it->Done() && !wanted;) {
    const auto* file = dynamic_cast<const TSynFile*>(&it->Next());
    wanted = file != nullptr && file->MinuteRecord();
  }
  if (!wanted) return;
  std::vector<std::string> lines;
  ListMinutes(lines);
  for (const TFtpListItem& item : client_.DirectoryListing()) {
    TTimeInfoFile* entry = item.ItemType == itFile ? listing.FindFile(item.FileName) : nullptr;
    if (entry != nullptr) entry->ListedMinute.SetValue(item.ModifiedDate, KindOf(item));
  }
}

TRemoteFileInfo TServer::GetFileInfo(TNode& file) {
  return Guarded([&] {
    ConnectionTest();
    const TNodeHold parent = HeldParent(file);
    const std::string path = RemoteNodePath(*parent);
    if (!InFolder(path)) {
      try {
        ChangeDir(path);
      } catch (const EFtpReplyError& error) {
        if (IsNotFound(error)) throw EFileNotFound(file, true);
        throw;
      }
    }
    const auto* synced = dynamic_cast<const TSynFile*>(&file);
    const std::optional<TRemoteFileInfo> read =
        ReadFileInfo(file.Name(), synced != nullptr && synced->MinuteRecord());
    if (!read) throw EFileNotFound(file, true);
    return *read;
  });
}

bool TServer::FolderExists(TNode& folder) {
  return Guarded([&] {
    ConnectionTest();
    try {
      ChangeDir(RemoteNodePath(folder));
    } catch (const EFtpReplyError& error) {
      if (IsNotFound(error)) return false;
      throw;
    }
    return true;
  });
}

void TServer::Download(TNode& file) {
  RefuseReservedName(file);
  Guarded([&] {
    EnterFolder(*HeldParent(file));
    const std::string name = file.Name();
    const TFtpTransferType type = TransferTypeOf(name);
    client_.SetTransferType(type);
    auto* synced = dynamic_cast<TSynFile*>(&file);
    // The size the tree's decision was made with; a text transfer may
    // change line ends, so only a binary one is held to it.
    std::optional<std::int64_t> listed;
    if (synced != nullptr && type == ftBinary && synced->RemotePresence() == prPresent) {
      try {
        listed = synced->RemoteSize();
      } catch (const ESizeUndefined&) {
      }
    }
    TDownloadTempFile temp(SyncProject().LocalRoot(), RelativeLocalPath(file));
    TDownloadSink sink(temp, transferred_);
    std::ostream destination(&sink);
    WithLocalError(sink, [&] { client_.Get(name, destination); });
    const TLocalFileInfo copy = WrittenCopy(temp.Descriptor());
    if (listed && copy.Size != *listed) throw EIncompleteDownload(copy.Size, *listed);
    if (synced != nullptr) synced->CheckLocalUnchanged();
    temp.Commit();
    if (synced != nullptr) synced->SetDownloadedCopy(copy);
  });
}

void TServer::Upload(TNode& file) {
  RefuseReservedName(file);
  Guarded([&] {
    EnterFolder(*HeldParent(file));
    const std::string name = file.Name();
    SetTransferType(name);
    TUploadSource source(
        OpenLocalFileForReading(SyncProject().LocalRoot(), RelativeLocalPath(file)), transferred_);
    auto* synced = dynamic_cast<TSynFile*>(&file);
    if (const auto basis = synced != nullptr ? synced->TransferBasis() : std::nullopt) {
      const bool minute =
          basis->RemoteTime.Defined() && basis->RemoteTime.Kind() == TTimeKind::Minute;
      synced->CheckRemoteUnchanged(ReadFileInfo(name, minute || synced->MinuteRecord()));
    }
    std::istream stream(&source);
    WithLocalError(source, [&] { client_.Put(stream, name); });
  });
}

void TServer::DeleteFile(TNode& file) {
  Guarded([&] {
    EnterFolder(*HeldParent(file));
    client_.Delete(file.Name());
  });
}

void TServer::DeleteFolder(TNode& folder) {
  Guarded([&] {
    EnterFolder(*HeldParent(folder));
    MoveRemote([&] { client_.RemoveDir(folder.Name()); });
  });
}

std::shared_ptr<ITimeInfo> TServer::ListFolder(TNode& folder) {
  return Guarded([&] {
    EnterFolder(folder);
    std::vector<std::string> lines;
    client_.List(lines);
    auto listing = std::make_shared<TTimeInfo>();
    const TFtpListItems& items = client_.DirectoryListing();
    for (const TFtpListItem& item : items) {
      if (item.ItemType == itDirectory && item.FileName != "." && item.FileName != "..") {
        listing->AddFolder(item.FileName);
      } else if (item.ItemType == itFile) {
        listing->AddFile(item.FileName).SetInfo(item.Size, item.ModifiedDate, KindOf(item));
      }
    }
    if (items.ListFormat() == flfMlsd) AddListedMinutes(folder, *listing);
    return std::shared_ptr<ITimeInfo>(std::move(listing));
  });
}

void TServer::Rename(TNode& node, const std::string& new_name) {
  Guarded([&] {
    EnterFolder(*HeldParent(node));
    MoveRemote([&] { client_.Rename(node.Name(), new_name); });
  });
}

void TServer::MakeFolder(TNode& folder) {
  Guarded([&] { EnterFolder(folder); });
}

}  // namespace ravelo
