#pragma once

#include <string>

namespace ravelo {

class IServer;
class TNode;

// The rename operation of a file or folder: the server copy (when present),
// then the local copy (when present), then the node. A name that another
// child of the folder bears ignoring case (or a case variant of the node's
// own), or that anything on the local disk bears, is refused with
// EDuplicateNode before anything is renamed, so the server, the disk and the
// tree never disagree; so is a name no listing could give a node
// (EInvalidNodeName). Should the local move still fail after the server's
// rename, the node takes the new name without its synchronization times
// (nothing is then sent blindly) and the move's error is raised. The node's
// exact name again does nothing. Runs in the node's worker thread.
void RenameNode(TNode& node, IServer& server, const std::string& new_name);

}  // namespace ravelo
