#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "model/leaf.h"
#include "model/nullable.h"
#include "model/server.h"
#include "sync/device_interface.h"

namespace ravelo {

// The four times a file's state is decided from.
struct TFileTimes {
  TNullableTime LocalTime;
  TNullableTime SyncedLocalTime;
  TNullableTime RemoteTime;
  TNullableTime SyncedRemoteTime;
};

// The state rule: each side's time is compared only with the time recorded
// for that side at the last synchronization, never with the other side's
// clock, and only when both were read alike (TTimeKind): a LIST time and an
// exact time are neither equal nor later, which leaves nsUnknown. Never
// nsInProcess.
TNodeState FileState(const TFileTimes& times);

// A synchronized file: one file on the server, in the local cache, or both.
// It keeps four times and two sizes, decides its state from them and carries
// out the seven operations for a file.
//
// Threads: the Do operations run in the node's worker thread (one at a time);
// the folder's merges set times from the folder's operation, the connect
// thread or the main thread; the main thread reads state and sizes for
// display. mutex_ guards the six values; it is never held while calling out
// (to the tree, the device or the server).
class TSynFile : public TLeaf {
 public:
  TSynFile(TBranch* parent, std::string_view name);
  // A file the project file records as synchronized before.
  TSynFile(TBranch* parent, std::string_view name, TDateTime synced_local_time,
           TDateTime synced_remote_time, TTimeKind synced_remote_kind = TTimeKind::Exact);

  TNodeState CalcState() override;
  // The size of the present side (local first), digits grouped by threes
  // with the global locale's thousands separator; empty when neither side
  // is present.
  std::string GetSizeText() override;
  void ReadLocal() override;
  void ReadRemote(IServer& server) override;
  bool IsLocal() const override;
  bool IsRemote() const override;
  void ForgetLocal() override;
  void ForgetRemote() override;
  void ClearLocal() override;
  void ClearRemote() override;
  std::int64_t GetTransferSize() override;

  void DoOpen(IServer& server) override;
  void DoSynchronize(IServer& server) override;
  void DoRename(IServer& server, const std::string& new_name) override;
  void DoDelete(IServer& server) override;
  void DoCreateLocal(IServer& server) override;
  void DoClearCache(IServer& server, bool force) override;
  void DoUploadFresh(IServer& server) override;

  // The values; each throws ETimeUndefined or ESizeUndefined when undefined.
  TDateTime LocalTime() const;
  TDateTime RemoteTime() const;
  std::int64_t LocalSize() const;
  std::int64_t RemoteSize() const;
  TDateTime SyncedLocalTime() const;
  TDateTime SyncedRemoteTime() const;
  TFileTimes Times() const;

  // A new time makes the side known and present, and the folders above it
  // present on that side; the same time again does nothing.
  void SetLocalTime(TDateTime time);
  void SetRemoteTime(TDateTime time, TTimeKind kind = TTimeKind::Exact);
  // The server's time and size of the file, by the rule for records that
  // hold a LIST time (those of projects listed before with LIST): read
  // exactly with the LIST time beside it (ListedMinute), such a record is
  // compared with that LIST time, in its own zone and precision. The same:
  // the file has not changed on the server since, and the record takes the
  // exact time. Another: it has changed, and the file keeps the LIST time,
  // so that it shows "Expired" (or "Ambigous") as it would have before.
  void SetRemoteInfo(const TRemoteFileInfo& info);
  // The synchronized remote time is a LIST time: an exact reading needs
  // the LIST time beside it (SetRemoteInfo).
  bool MinuteRecord() const;
  void SetLocalSize(std::int64_t size);
  void SetRemoteSize(std::int64_t size);
  // The current times become the synchronized ones, local first; throws
  // ETimeUndefined at the first undefined one. For the conflict dialog's
  // "identical": a transfer marks with the times it saw instead.
  void MarkSynchronized();
  void MarkSynchronized(TDateTime local_time, TDateTime remote_time,
                        TTimeKind remote_kind = TTimeKind::Exact);
  // Both synchronized times become undefined: the file is never again taken
  // for unchanged on either side until it is synchronized anew.
  void ForgetSynchronized();

  // --- The transfer's re-check, for the server that carries it out ----
  // A synchronize decides on times it has just read (the local side always
  // read again) and keeps them as the basis of its transfer while the
  // server's Download or Upload runs. Just before the server replaces a
  // copy it reads that copy again and hands it to the Check below, which
  // throws ECannotSynchronize for the state the file now has when the side
  // changed since the decision (recording what it found), so that nothing
  // is overwritten. Outside a transfer they do nothing. Called in the
  // transfer's worker thread.
  std::optional<TFileTimes> TransferBasis() const;
  // Reads the local copy again; before a download replaces it.
  void CheckLocalUnchanged();
  // The file as the server lists it now (none: not listed); before an
  // upload replaces it. Its time is compared in the kind the decision's
  // was read with (a LIST time with ListedMinute); a reading of another
  // kind only counts as a change. A listing time may be as coarse as a
  // minute, so a size other than the decision's counts as a change too;
  // the time then cannot show it, and the file is no longer taken for
  // unchanged on the server (its synchronized remote time is forgotten).
  void CheckRemoteUnchanged(const std::optional<TRemoteFileInfo>& listed);
  // The copy a download put in place, its time taken from the written file
  // before it was renamed into place: an edit saved just after the rename
  // then counts as a change. The synchronize records this time (else it
  // reads the copy after the download). Ignored outside a transfer.
  void SetDownloadedCopy(const TLocalFileInfo& copy);
  // Opens the local copy with the program its extension is set to.
  void Launch();

 private:
  class TTransfer;

  // Reads the sides not known yet, so that no transfer is decided on
  // information that was never read.
  void ReadUnknownSides(IServer& server);
  // Sets the remote time under mutex_; false when it is the same already.
  bool PutRemoteTime(const TNullableTime& time);
  // A new remote time makes the side known and the folders above present.
  void RemoteTimeChanged();

  mutable std::mutex mutex_;
  TNullableSize local_size_;   // mutex_
  TNullableSize remote_size_;  // mutex_
  TFileTimes times_;           // mutex_
  // What a running transfer decided on and what it wrote. Boxed: a tree
  // holds many files, few of them in a transfer.
  struct TTransferState {
    TFileTimes basis;
    std::optional<std::int64_t> basis_remote_size;
    std::optional<TLocalFileInfo> downloaded;
  };
  std::unique_ptr<TTransferState> transfer_;  // mutex_; while a transfer runs
};

}  // namespace ravelo
