#include "sync/node_rename.h"

#include <exception>

#include "model/branch.h"
#include "model/children_iterator.h"
#include "model/server.h"
#include "model/tree_errors.h"
#include "sync/files_errors.h"
#include "sync/local_files.h"
#include "sync/local_path.h"
#include "sync/node_name.h"
#include "sync/syn_file.h"
#include "sync/sync_project.h"

namespace ravelo {

namespace {

// The files below (or at) node are no longer known to match their other
// side: their local copies are not the ones they were synchronized with.
void ForgetSynchronizedTree(TNode& node) {
  if (auto* file = dynamic_cast<TSynFile*>(&node)) file->ForgetSynchronized();
  for (auto children = node.GetChildren(); !children->Done();)
    ForgetSynchronizedTree(children->Next());
}

}  // namespace

void RenameNode(TNode& node, IServer& server, const std::string& new_name) {
  // Held: the folder may leave the tree while the server renames.
  const TNodeHold held = node.ParentHold();
  auto* parent = held.As<TBranch>();
  if (parent == nullptr) return;  // the root, or a node gone
  const std::string old_name = node.Name();
  if (new_name == old_name) return;
  // The name a user typed must not give the node a path outside its folder:
  // the server, the disk and the tree would each take it differently.
  // A reserved name (the project file's, a temporary's) would make the
  // project unloadable or the node vanish from the listings.
  if (!IsValidNodeName(new_name) || SyncProject().Device().IsReservedName(new_name, false))
    throw EInvalidNodeName(new_name);
  // Nor may it be taken, in the tree or on the disk by a file the tree does
  // not know yet: the node would come to name that file with this one's
  // times, and a later upload would send it over the renamed server copy.
  const std::string root = SyncProject().LocalRoot();
  const std::string folder = RelativeLocalPath(*parent);
  if (parent->FindChild(new_name) != nullptr || LocalEntryExists(root, folder, new_name))
    throw EDuplicateNode();

  if (node.RemotePresence() == prUnknown) node.RefreshRemote(server);
  if (node.RemotePresence() == prPresent) server.Rename(node, new_name);
  if (node.LocalPresence() == prUnknown) node.RefreshLocal();
  if (node.Parent() == nullptr) return;  // both sides turned out absent: it left the tree
  std::exception_ptr move_failed;
  if (node.LocalPresence() == prPresent) {
    try {
      MoveWithoutReplacing(root, folder, old_name, new_name);
    } catch (const std::exception&) {
      move_failed = std::current_exception();
    }
  }
  parent->RenameChild(node, new_name);
  if (!move_failed) return;
  // The server has the new name, the disk does not (something took the name
  // meanwhile): the node follows the server, but what it now names locally
  // is not what it was synchronized with.
  ForgetSynchronizedTree(node);
  try {
    node.RefreshLocal();
  } catch (const std::exception&) {
  }
  std::rethrow_exception(move_failed);
}

}  // namespace ravelo
