#include "sync/syn_folder.h"

#include "model/children_iterator.h"
#include "model/server.h"
#include "model/time_info.h"
#include "model/tree_errors.h"
#include "sync/device_interface.h"
#include "sync/files_errors.h"
#include "sync/local_files.h"
#include "sync/local_path.h"
#include "sync/node_name.h"
#include "sync/node_rename.h"
#include "sync/syn_file.h"
#include "sync/sync_project.h"

namespace ravelo {

TSynFolder::TSynFolder(TBranch* parent, std::string_view name) : TBranch(parent, name) {}

TNodeState TSynFolder::CalcState() {
  const bool local = has_local_.load();
  const bool remote = has_remote_.load();
  if (local && !remote) return nsFresh;
  if (!local && remote) return nsNotCached;
  if (local && remote) return nsSynchronized;
  return nsUnknown;
}

void TSynFolder::ReadLocal() {
  has_local_.store(SyncProject().Device().LocalFolderExists(*this));
}

void TSynFolder::ReadRemote(IServer& server) {
  if (server.FolderExists(*this))
    MarkRemotePresent();
  else
    ClearRemoteTree();
}

void TSynFolder::ForgetLocal() {
  has_local_.store(false);
}

void TSynFolder::ForgetRemote() {
  has_remote_.store(false);
  ForgetRemoteListing();
}

void TSynFolder::ClearLocal() {
  ForgetLocal();
}

void TSynFolder::ClearRemote() {
  ForgetRemote();
}

void TSynFolder::MarkLocalPresent() {
  if (LocalPresence() == prPresent) return;
  has_local_.store(true);
  MarkLocalKnown();
  // Held: another thread may take the folder above out of the tree meanwhile.
  const TNodeHold parent = ParentHold();
  if (auto* folder = parent.As<TSynFolder>()) folder->MarkLocalPresent();
}

void TSynFolder::MarkRemotePresent() {
  if (RemotePresence() == prPresent) return;
  has_remote_.store(true);
  MarkRemoteKnown();
  const TNodeHold parent = ParentHold();
  if (auto* folder = parent.As<TSynFolder>()) folder->MarkRemotePresent();
}

void TSynFolder::ForgetRemoteListing() {
  if (!remote_listed_.load()) return;
  for (auto it = GetChildren(); !it->Done();) it->Next().ForgetRemoteTree();
  remote_listed_.store(false);
}

// ---------------------------------------------------------------------------
// Children by name

namespace {

// The child of that name as a T, held, made when there is none (then made
// is set); another thread making it first is no error.
template <class T>
THold<T> Obtain(TSynFolder& folder, std::string_view name, bool* made = nullptr) {
  for (;;) {
    if (TNodeHold child = folder.HoldChild(name)) {
      THold<T> found(std::move(child));
      if (!found) throw EDuplicateNode();  // a child of the other kind
      return found;
    }
    try {
      THold<T> added = folder.MakeHeldChild<T>(name);
      if (made != nullptr) *made = true;
      return added;
    } catch (const EDuplicateNode&) {
      // Made by another thread since we looked: take that one.
    }
  }
}

}  // namespace

THold<TSynFile> TSynFolder::ObtainFile(std::string_view name) {
  return Obtain<TSynFile>(*this, name);
}

THold<TSynFolder> TSynFolder::ObtainFolder(std::string_view name) {
  return Obtain<TSynFolder>(*this, name);
}

THold<TSynFolder> TSynFolder::FolderByName(std::string_view name) {
  THold<TSynFolder> folder(HoldChild(name));
  if (!folder) throw ENoFolderWithName(std::string(name));
  return folder;
}

// ---------------------------------------------------------------------------
// Merges

namespace {

// A child counts as listed only under its own kind: a folder among the
// listing's folders, a file among its files (exact names).
bool IsListed(const TNode& child, const ITimeInfo& listing) {
  const std::string name = child.Name();
  return dynamic_cast<const TSynFolder*>(&child) != nullptr ? listing.FindFolder(name) != nullptr
                                                            : listing.FindFile(name) != nullptr;
}

}  // namespace

void TSynFolder::MergeRemoteListing(const ITimeInfo& listing) {
  const ISynDevice& device = SyncProject().Device();
  for (auto it = GetChildren(); !it->Done();) {
    TNode& child = it->Next();
    if (!IsListed(child, listing)) child.ClearRemoteTree();
  }
  for (int i = 0; i < listing.FolderCount(); ++i) {
    const std::string& name = listing.FolderAt(i).Name;
    if (!IsValidNodeName(name) || device.IsReservedName(name, true)) continue;
    ObtainFolder(name)->MarkRemotePresent();
  }
  for (int i = 0; i < listing.FileCount(); ++i) {
    const TTimeInfoFile& entry = listing.FileAt(i);
    if (!IsValidNodeName(entry.Name) || device.IsReservedName(entry.Name, false)) continue;
    const THold<TSynFile> file = ObtainFile(entry.Name);
    if (entry.Time.Defined() && entry.Size.Defined()) {
      file->SetRemoteInfo(
          {entry.Time.GetValue(), entry.Size.GetValue(), entry.Time.Kind(), entry.ListedMinute});
    } else {
      file->ClearRemoteTree();
    }
  }
  remote_listed_.store(true);
}

void TSynFolder::MergeLocalListing(const ITimeInfo& listing) {
  local_listed_.store(false);
  for (auto it = GetChildren(); !it->Done();) {
    TNode& child = it->Next();
    if (!IsListed(child, listing)) child.ClearLocalTree();
  }
  for (int i = 0; i < listing.FolderCount(); ++i) {
    const std::string& name = listing.FolderAt(i).Name;
    if (!IsValidNodeName(name)) continue;
    bool made = false;
    const THold<TSynFolder> folder = Obtain<TSynFolder>(*this, name, &made);
    if (made) folder->ClearRemoteTree();
    folder->MarkLocalPresent();
  }
  for (int i = 0; i < listing.FileCount(); ++i) {
    const TTimeInfoFile& entry = listing.FileAt(i);
    if (!IsValidNodeName(entry.Name)) continue;
    bool made = false;
    const THold<TSynFile> file = Obtain<TSynFile>(*this, entry.Name, &made);
    if (made) file->ClearRemoteTree();
    if (entry.Time.Defined() && entry.Size.Defined()) {
      file->SetLocalTime(entry.Time.GetValue());
      file->SetLocalSize(entry.Size.GetValue());
    } else {
      file->ClearLocalTree();
    }
  }
  local_listed_.store(true);
}

// ---------------------------------------------------------------------------
// Operations

void TSynFolder::ReadAndList(IServer& server) {
  if (RemotePresence() == prUnknown) RefreshRemote(server);
  if (RemotePresence() == prPresent && !remote_listed_.load()) {
    const auto listing = server.ListFolder(*this);
    MergeRemoteListing(*listing);
  }
  if (LocalPresence() == prUnknown) RefreshLocal();
  ListLocalIfNeeded();
}

void TSynFolder::ListLocalIfNeeded() {
  if (LocalPresence() == prPresent && !local_listed_.load()) {
    const auto listing = SyncProject().Device().ListLocal(*this);
    MergeLocalListing(*listing);
  }
}

void TSynFolder::DoOpen(IServer& server) {
  ReadAndList(server);
  SyncProject().Device().SetCurrentFolder(*this);
}

void TSynFolder::DoSynchronize(IServer& server) {
  ReadAndList(server);
  if (LocalPresence() == prAbsent) {
    CreateFolderChain(SyncProject().LocalRoot(), RelativeLocalPath(*this));
    MarkLocalPresent();
  }
  if (RemotePresence() == prAbsent) {
    server.MakeFolder(*this);
    MarkRemotePresent();
  }
  for (auto it = GetChildren(); !it->Done();) it->Next().Synchronize();
}

void TSynFolder::DoRename(IServer& server, const std::string& new_name) {
  RenameNode(*this, server, new_name);
}

void TSynFolder::DoDelete(IServer& server) {
  ReadAndList(server);
  for (auto it = GetChildren(); !it->Done();) it->Next().DoDelete(server);
  if (RemotePresence() == prPresent) {
    server.DeleteFolder(*this);
    ClearRemoteTree();  // as a file does: a repeated delete skips this side
  }
  if (LocalPresence() == prPresent) {
    SyncProject().Device().RemoveLocalFolder(*this);
    ClearLocalTree();  // may take the folder out of the tree: the last step
  }
}

void TSynFolder::DoCreateLocal(IServer& server) {
  CreateFolderChain(SyncProject().LocalRoot(), RelativeLocalPath(*this));
  MarkLocalPresent();
  if (RemotePresence() == prUnknown) RefreshRemote(server);
}

void TSynFolder::DoClearCache(IServer& server, bool force) {
  // Listed first, so that local files the tree has not seen are spared too.
  if (LocalPresence() == prUnknown) RefreshLocal();
  ListLocalIfNeeded();
  bool spared = false;
  for (auto it = GetChildren(); !it->Done();) {
    try {
      it->Next().DoClearCache(server, force);
    } catch (const ELocalChangesWouldBeLost&) {
      spared = true;  // the rest goes on; the folder stays for what is kept
    }
  }
  if (spared) throw ELocalChangesWouldBeLost();
  if (LocalPresence() == prPresent) {
    SyncProject().Device().RemoveLocalFolder(*this);
    ClearLocalTree();
  }
}

void TSynFolder::DoUploadFresh(IServer& server) {
  if (LocalPresence() == prUnknown) RefreshLocal();
  if (RemotePresence() == prUnknown) RefreshRemote(server);
  if (LocalPresence() != prPresent) return;
  ListLocalIfNeeded();
  if (CalcState() == nsFresh) {
    server.MakeFolder(*this);
    MarkRemotePresent();
  }
  for (auto it = GetChildren(); !it->Done();) it->Next().UploadFresh();
}

}  // namespace ravelo
