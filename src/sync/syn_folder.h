#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "model/branch.h"

namespace ravelo {

class ITimeInfo;
class TSynFile;

// A synchronized folder: one folder on the server, in the local cache, or
// both. It merges the server's and the local disk's listing into one child
// list (every name on either side one child, a TSynFile or a TSynFolder) and
// carries out the seven operations for a folder: synchronize and upload
// fresh queue one operation per child, delete and clear cache walk the
// subtree within the running operation. The root is a TSynFolder without
// parent.
//
// Names from a listing that are not valid node names (IsValidNodeName) are
// skipped by both merges. Lookups go through the tree's and the listing's
// indexes, so a merge stays linear in the number of entries.
//
// Threads: the Do operations run in the folder's worker thread; the merges
// also run in the connect thread and the main thread, and children's
// operations mark their folders present from their own threads. The four
// flags are atomics; nothing else is kept here.
class TSynFolder : public TBranch {
 public:
  TSynFolder(TBranch* parent, std::string_view name);

  TNodeState CalcState() override;
  std::string GetSizeText() override { return {}; }
  void ReadLocal() override;
  void ReadRemote(IServer& server) override;
  bool IsLocal() const override { return has_local_.load(); }
  bool IsRemote() const override { return has_remote_.load(); }
  void ForgetLocal() override;
  void ForgetRemote() override;
  void ClearLocal() override;
  void ClearRemote() override;
  std::int64_t GetTransferSize() override { return 0; }

  void DoOpen(IServer& server) override;
  void DoSynchronize(IServer& server) override;
  void DoRename(IServer& server, const std::string& new_name) override;
  void DoDelete(IServer& server) override;
  void DoCreateLocal(IServer& server) override;
  void DoClearCache(IServer& server, bool force) override;
  void DoUploadFresh(IServer& server) override;

  // Make this folder and every folder above it present on that side; the
  // walk up stops at the first folder already present.
  void MarkLocalPresent();
  void MarkRemotePresent();
  // The children's remote sides become unknown, to be read again.
  void ForgetRemoteListing();
  bool RemoteListed() const { return remote_listed_.load(); }
  bool LocalListed() const { return local_listed_.load(); }

  // The child of that name (ignoring ASCII case), made when there is none;
  // EDuplicateNode when it is of the other kind. Held, so that it stays
  // alive however other threads change the tree meanwhile.
  THold<TSynFile> ObtainFile(std::string_view name);
  THold<TSynFolder> ObtainFolder(std::string_view name);
  // ENoFolderWithName when there is no child folder of that name.
  THold<TSynFolder> FolderByName(std::string_view name);

  // Merge a listing of this folder into the children. A child the listing
  // does not hold (as its kind) loses that side; the local merge takes a
  // name it meets first for a local-only node, known absent on the server.
  // A name that is a file here and a folder there stops the merge with
  // EDuplicateNode, leaving that side not listed.
  void MergeRemoteListing(const ITimeInfo& listing);
  void MergeLocalListing(const ITimeInfo& listing);

 private:
  // Steps 1 to 4 of the open operation: read both sides and merge the
  // listings not merged yet, the server's first.
  void ReadAndList(IServer& server);
  void ListLocalIfNeeded();

  std::atomic<bool> remote_listed_{false};
  std::atomic<bool> local_listed_{false};
  std::atomic<bool> has_local_{false};
  std::atomic<bool> has_remote_{false};
};

}  // namespace ravelo
