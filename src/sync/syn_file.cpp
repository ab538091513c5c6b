#include "sync/syn_file.h"

#include <algorithm>
#include <locale>
#include <vector>

#include "model/server.h"
#include "platform/launcher.h"
#include "settings/extension_error.h"
#include "settings/extensions.h"
#include "sync/device_interface.h"
#include "sync/files_errors.h"
#include "sync/local_changes.h"
#include "sync/local_files.h"
#include "sync/local_path.h"
#include "sync/node_rename.h"
#include "sync/syn_folder.h"
#include "sync/sync_errors.h"
#include "sync/sync_project.h"

namespace ravelo {

TNodeState FileState(const TFileTimes& t) {
  if (!t.LocalTime.Defined() && t.RemoteTime.Defined()) return nsNotCached;
  if (t.LocalTime.LaterThan(t.SyncedLocalTime) && t.RemoteTime.EqualTo(t.SyncedRemoteTime))
    return nsFresh;
  if (t.LocalTime.Defined() && !t.RemoteTime.Defined()) return nsFresh;
  if (t.LocalTime.EqualTo(t.SyncedLocalTime) && t.RemoteTime.LaterThan(t.SyncedRemoteTime))
    return nsExpired;
  if (t.LocalTime.LaterThan(t.SyncedLocalTime) && t.RemoteTime.LaterThan(t.SyncedRemoteTime))
    return nsAmbiguous;
  if (t.LocalTime.EqualTo(t.SyncedLocalTime) && t.RemoteTime.EqualTo(t.SyncedRemoteTime))
    return nsSynchronized;
  return nsUnknown;
}

namespace {

// The ",#0" pattern: every three digits separated, no decimals.
std::string GroupDigits(std::int64_t value) {
  const char separator = std::use_facet<std::numpunct<char>>(std::locale()).thousands_sep();
  const bool negative = value < 0;
  std::string digits = std::to_string(value);
  if (negative) digits.erase(0, 1);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
    grouped += digits[i];
  }
  return negative ? "-" + grouped : grouped;
}

}  // namespace

// The basis of one transfer, from the decision to its end however it ends.
class TSynFile::TTransfer {
 public:
  TTransfer(TSynFile& file, const TFileTimes& basis) : file_(file) {
    std::lock_guard lock(file_.mutex_);
    file_.transfer_ = std::make_unique<TTransferState>();
    file_.transfer_->basis = basis;
    if (basis.RemoteTime.Defined() && file_.remote_size_.Defined())
      file_.transfer_->basis_remote_size = file_.remote_size_.GetValue();
  }
  ~TTransfer() {
    std::lock_guard lock(file_.mutex_);
    file_.transfer_.reset();
  }
  std::optional<TLocalFileInfo> DownloadedCopy() const {
    std::lock_guard lock(file_.mutex_);
    return file_.transfer_ ? file_.transfer_->downloaded : std::nullopt;
  }
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;

 private:
  TSynFile& file_;
};

TSynFile::TSynFile(TBranch* parent, std::string_view name) : TLeaf(parent, name) {}

TSynFile::TSynFile(TBranch* parent, std::string_view name, TDateTime synced_local_time,
                   TDateTime synced_remote_time, TTimeKind synced_remote_kind)
    : TLeaf(parent, name) {
  times_.SyncedLocalTime.SetValue(synced_local_time);
  times_.SyncedRemoteTime.SetValue(synced_remote_time, synced_remote_kind);
}

// ---------------------------------------------------------------------------
// Values

TFileTimes TSynFile::Times() const {
  std::lock_guard lock(mutex_);
  return times_;
}

TNodeState TSynFile::CalcState() {
  return FileState(Times());
}

std::string TSynFile::GetSizeText() {
  const bool local = LocalPresence() == prPresent;
  const bool remote = RemotePresence() == prPresent;
  std::lock_guard lock(mutex_);
  if (local && local_size_.Defined()) return GroupDigits(local_size_.GetValue());
  if (!local && remote && remote_size_.Defined()) return GroupDigits(remote_size_.GetValue());
  return {};
}

bool TSynFile::IsLocal() const {
  std::lock_guard lock(mutex_);
  return times_.LocalTime.Defined();
}

bool TSynFile::IsRemote() const {
  std::lock_guard lock(mutex_);
  return times_.RemoteTime.Defined();
}

void TSynFile::ForgetLocal() {
  std::lock_guard lock(mutex_);
  times_.LocalTime.Clear();
}

void TSynFile::ForgetRemote() {
  std::lock_guard lock(mutex_);
  times_.RemoteTime.Clear();
}

void TSynFile::ClearLocal() {
  ForgetLocal();
}

void TSynFile::ClearRemote() {
  ForgetRemote();
}

std::int64_t TSynFile::GetTransferSize() {
  std::lock_guard lock(mutex_);
  switch (FileState(times_)) {
    case nsFresh:
      return local_size_.Defined() ? local_size_.GetValue() : 0;
    case nsNotCached:
    case nsExpired:
      return remote_size_.Defined() ? remote_size_.GetValue() : 0;
    default:
      return 0;
  }
}

TDateTime TSynFile::LocalTime() const {
  std::lock_guard lock(mutex_);
  return times_.LocalTime.GetValue();
}

TDateTime TSynFile::RemoteTime() const {
  std::lock_guard lock(mutex_);
  return times_.RemoteTime.GetValue();
}

std::int64_t TSynFile::LocalSize() const {
  std::lock_guard lock(mutex_);
  return local_size_.GetValue();
}

std::int64_t TSynFile::RemoteSize() const {
  std::lock_guard lock(mutex_);
  return remote_size_.GetValue();
}

TDateTime TSynFile::SyncedLocalTime() const {
  std::lock_guard lock(mutex_);
  return times_.SyncedLocalTime.GetValue();
}

TDateTime TSynFile::SyncedRemoteTime() const {
  std::lock_guard lock(mutex_);
  return times_.SyncedRemoteTime.GetValue();
}

void TSynFile::SetLocalTime(TDateTime time) {
  {
    std::lock_guard lock(mutex_);
    if (times_.LocalTime.Defined() && times_.LocalTime.GetValue() == time) return;
    times_.LocalTime.SetValue(time);
  }
  MarkLocalKnown();
  // Held: another thread may take the folder out of the tree meanwhile.
  const TNodeHold parent = ParentHold();
  if (auto* folder = parent.As<TSynFolder>()) folder->MarkLocalPresent();
}

bool TSynFile::PutRemoteTime(const TNullableTime& time) {
  TNullableTime& remote = times_.RemoteTime;
  if (remote.EqualTo(time)) return false;
  remote = time;
  return true;
}

void TSynFile::RemoteTimeChanged() {
  MarkRemoteKnown();
  const TNodeHold parent = ParentHold();
  if (auto* folder = parent.As<TSynFolder>()) folder->MarkRemotePresent();
}

void TSynFile::SetRemoteTime(TDateTime time, TTimeKind kind) {
  TNullableTime value;
  value.SetValue(time, kind);
  {
    std::lock_guard lock(mutex_);
    if (!PutRemoteTime(value)) return;
  }
  RemoteTimeChanged();
}

void TSynFile::SetRemoteInfo(const TRemoteFileInfo& info) {
  TNullableTime time;
  time.SetValue(info.Modified, info.Kind);
  {
    std::lock_guard lock(mutex_);
    TNullableTime& record = times_.SyncedRemoteTime;
    if (time.Kind() == TTimeKind::Exact && record.Defined() && record.Kind() == TTimeKind::Minute &&
        info.ListedMinute.Defined()) {
      if (info.ListedMinute.EqualTo(record)) {
        record = time;
      } else {
        time = info.ListedMinute;
      }
    }
    remote_size_.SetValue(info.Size);
    if (!PutRemoteTime(time)) return;
  }
  RemoteTimeChanged();
}

bool TSynFile::MinuteRecord() const {
  std::lock_guard lock(mutex_);
  return times_.SyncedRemoteTime.Defined() && times_.SyncedRemoteTime.Kind() == TTimeKind::Minute;
}

void TSynFile::SetLocalSize(std::int64_t size) {
  std::lock_guard lock(mutex_);
  local_size_.SetValue(size);
}

void TSynFile::SetRemoteSize(std::int64_t size) {
  std::lock_guard lock(mutex_);
  remote_size_.SetValue(size);
}

void TSynFile::MarkSynchronized() {
  std::lock_guard lock(mutex_);
  times_.SyncedLocalTime.SetValue(times_.LocalTime.GetValue());
  times_.SyncedRemoteTime.SetValue(times_.RemoteTime.GetValue(), times_.RemoteTime.Kind());
}

void TSynFile::MarkSynchronized(TDateTime local_time, TDateTime remote_time,
                                TTimeKind remote_kind) {
  std::lock_guard lock(mutex_);
  times_.SyncedLocalTime.SetValue(local_time);
  times_.SyncedRemoteTime.SetValue(remote_time, remote_kind);
}

void TSynFile::ForgetSynchronized() {
  std::lock_guard lock(mutex_);
  times_.SyncedLocalTime.Clear();
  times_.SyncedRemoteTime.Clear();
}

// ---------------------------------------------------------------------------
// The transfer's re-check

std::optional<TFileTimes> TSynFile::TransferBasis() const {
  std::lock_guard lock(mutex_);
  if (!transfer_) return std::nullopt;
  return transfer_->basis;
}

namespace {

// The same time, or undefined on both: the side has not changed.
bool Unchanged(const TNullableTime& before, const TNullableTime& now) {
  return now.EqualTo(before) || (!now.Defined() && !before.Defined());
}

}  // namespace

void TSynFile::CheckLocalUnchanged() {
  const std::optional<TFileTimes> basis = TransferBasis();
  if (!basis) return;
  RefreshLocal();
  if (!Unchanged(basis->LocalTime, Times().LocalTime)) throw ECannotSynchronize(CalcState());
}

void TSynFile::CheckRemoteUnchanged(const std::optional<TRemoteFileInfo>& listed) {
  std::optional<TFileTimes> basis;
  std::optional<std::int64_t> size_before;
  {
    std::lock_guard lock(mutex_);
    if (transfer_) {
      basis = transfer_->basis;
      size_before = transfer_->basis_remote_size;
    }
  }
  if (!basis) return;
  TNullableTime now;
  if (listed) {
    now.SetValue(listed->Modified, listed->Kind);
    // The decision's time is a LIST time: the LIST time of the reading.
    if (basis->RemoteTime.Kind() == TTimeKind::Minute && listed->ListedMinute.Defined())
      now = listed->ListedMinute;
  }
  const bool same_time = Unchanged(basis->RemoteTime, now);
  const bool same_size = !listed || !size_before || *size_before == listed->Size;
  if (same_time && same_size) return;
  if (!listed) {
    ClearRemoteTree();
  } else if (!same_time) {
    SetRemoteInfo(*listed);
  } else {
    std::lock_guard lock(mutex_);
    remote_size_.SetValue(listed->Size);
    times_.SyncedRemoteTime.Clear();
  }
  throw ECannotSynchronize(CalcState());
}

void TSynFile::SetDownloadedCopy(const TLocalFileInfo& copy) {
  std::lock_guard lock(mutex_);
  if (transfer_) transfer_->downloaded = copy;
}

// ---------------------------------------------------------------------------
// Reading the sides

void TSynFile::ReadLocal() {
  TLocalFileInfo info;
  try {
    info = SyncProject().Device().GetLocalInfo(*this);
  } catch (const EFileNotFound&) {
    std::lock_guard lock(mutex_);
    times_.LocalTime.Clear();
    local_size_.Clear();
    return;
  }
  SetLocalTime(info.Time);
  SetLocalSize(info.Size);
}

void TSynFile::ReadRemote(IServer& server) {
  TRemoteFileInfo info;
  try {
    info = server.GetFileInfo(*this);
  } catch (const EFileNotFound&) {
    std::lock_guard lock(mutex_);
    times_.RemoteTime.Clear();
    remote_size_.Clear();
    return;
  }
  SetRemoteInfo(info);
}

void TSynFile::ReadUnknownSides(IServer& server) {
  if (LocalPresence() == prUnknown) RefreshLocal();
  if (RemotePresence() == prUnknown) RefreshRemote(server);
}

// ---------------------------------------------------------------------------
// Operations

void TSynFile::DoOpen(IServer& server) {
  ReadUnknownSides(server);
  const TNodeState state = CalcState();
  if (state == nsNotCached || state == nsExpired) DoSynchronize(server);
  Launch();
}

void TSynFile::DoSynchronize(IServer& server) {
  // The local side is read again whatever the tree knew: an edit saved
  // since the last listing must not be replaced by a download, and an
  // upload sends what is there now. The decision's times are the ones the
  // file is marked synchronized with, never later ones a merge from another
  // thread sets while the transfer runs.
  RefreshLocal();
  if (RemotePresence() == prUnknown) RefreshRemote(server);
  const TFileTimes seen = Times();
  const TNodeState state = FileState(seen);
  switch (state) {
    case nsNotCached:
    case nsExpired: {
      std::optional<TLocalFileInfo> copy;
      {
        const TTransfer transfer(*this, seen);
        server.Download(*this);
        copy = transfer.DownloadedCopy();
      }
      // The synchronized local time is the new copy's own.
      const TLocalFileInfo info = copy ? *copy : SyncProject().Device().GetLocalInfo(*this);
      SetLocalTime(info.Time);
      SetLocalSize(info.Size);
      MarkSynchronized(info.Time, seen.RemoteTime.GetValue(), seen.RemoteTime.Kind());
      break;
    }
    case nsSynchronized:
      MarkSynchronized(seen.LocalTime.GetValue(), seen.RemoteTime.GetValue(),
                       seen.RemoteTime.Kind());
      break;
    case nsFresh: {
      {
        const TTransfer transfer(*this, seen);
        server.Upload(*this);
      }
      // The synchronized remote time is the new copy's, from a fresh listing.
      const TRemoteFileInfo info = server.GetFileInfo(*this);
      SetRemoteTime(info.Modified, info.Kind);
      SetRemoteSize(info.Size);
      MarkSynchronized(seen.LocalTime.GetValue(), info.Modified, info.Kind);
      break;
    }
    default:
      throw ECannotSynchronize(state);
  }
}

void TSynFile::DoRename(IServer& server, const std::string& new_name) {
  RenameNode(*this, server, new_name);
}

void TSynFile::DoDelete(IServer& server) {
  if (RemotePresence() == prUnknown) RefreshRemote(server);
  if (RemotePresence() == prPresent) {
    server.DeleteFile(*this);
    // Recorded at once: should the folder's delete run again (its first
    // server call met no server), this side is not deleted twice.
    ClearRemoteTree();
  }
  if (LocalPresence() == prUnknown) RefreshLocal();
  if (LocalPresence() == prPresent) {
    SyncProject().Device().DeleteLocalFile(*this);
    ClearLocalTree();  // may take the node out of the tree: the last step
  }
}

void TSynFile::DoCreateLocal(IServer& server) {
  // Run again once a server is granted (the remote side is read last), so
  // it never truncates: what an editor wrote in between stays.
  CreateEmptyFile(SyncProject().LocalRoot(), RelativeLocalPath(*this));
  const TLocalFileInfo info = SyncProject().Device().GetLocalInfo(*this);
  SetLocalTime(info.Time);
  SetLocalSize(info.Size);
  if (RemotePresence() == prUnknown) RefreshRemote(server);
}

void TSynFile::DoClearCache(IServer&, bool force) {
  if (LocalPresence() == prUnknown) RefreshLocal();
  if (LocalPresence() != prPresent) return;
  if (!force && HoldsLocalChanges(CalcState())) throw ELocalChangesWouldBeLost();
  SyncProject().Device().DeleteLocalFile(*this);
}

void TSynFile::DoUploadFresh(IServer& server) {
  if (LocalPresence() == prUnknown) RefreshLocal();
  if (RemotePresence() == prUnknown) RefreshRemote(server);
  if (CalcState() == nsFresh) DoSynchronize(server);
}

void TSynFile::Launch() {
  ISyncProject& project = SyncProject();
  const std::string path = LocalPath(*this);
  TExtension extension;  // an extension without settings opens as otDefault
  try {
    extension = project.Extensions().Find(ExtractExtension(path));
  } catch (const ENoExtension&) {
  }
  // What the program does with the file is its own business; a program
  // that cannot be started is not an error of the open operation.
  switch (extension.OpenType) {
    case otCustom:
      project.Launcher().Launch({extension.Command, path});
      break;
    case otDefault:
      project.Launcher().Launch({"xdg-open", path});
      break;
    case otNone:
      break;
  }
}

}  // namespace ravelo
