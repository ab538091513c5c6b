#include "sync/sync_errors.h"

#include "model/branch.h"

namespace ravelo {

EFileNotFound::EFileNotFound(const TNode& node, bool remote)
    : ESync("File " + node.GetPath() + " Not Found"), path_(node.GetPath()), remote_(remote) {}

}  // namespace ravelo
