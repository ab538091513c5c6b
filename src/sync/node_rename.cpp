#include "sync/node_rename.h"

#include "model/branch.h"
#include "model/server.h"
#include "model/tree_errors.h"
#include "sync/files_errors.h"
#include "sync/local_files.h"
#include "sync/local_path.h"
#include "sync/node_name.h"
#include "sync/sync_project.h"

namespace ravelo {

namespace {

// False when there is nothing to do.
bool CheckNewName(const TNode& node, const std::string& new_name) {
  const TBranch* parent = node.Parent();
  if (parent == nullptr) return false;  // the root, or a node gone
  if (new_name == node.Name()) return false;
  // The name a user typed must not give the node a path outside its folder:
  // the server, the disk and the tree would each take it differently.
  if (!IsValidNodeName(new_name)) throw EInvalidNodeName(new_name);
  if (parent->FindChild(new_name) != nullptr) throw EDuplicateNode();
  return true;
}

}  // namespace

void RenameNode(TNode& node, IServer& server, const std::string& new_name) {
  if (!CheckNewName(node, new_name)) return;
  if (node.RemotePresence() == prUnknown) node.RefreshRemote(server);
  if (node.RemotePresence() == prPresent) server.Rename(node, new_name);
  if (node.LocalPresence() == prUnknown) node.RefreshLocal();
  TBranch* parent = node.Parent();
  if (parent == nullptr) return;  // both sides turned out absent: it left the tree
  if (node.LocalPresence() == prPresent) {
    const std::string root = SyncProject().LocalRoot();
    MoveWithoutReplacing(LocalNodePath(root, node), LocalChildPath(root, *parent, new_name));
  }
  parent->RenameChild(node, new_name);
}

}  // namespace ravelo
