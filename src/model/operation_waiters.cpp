#include "model/operation_waiters.h"

#include "model/node.h"
#include "model/server.h"

namespace ravelo {

// Each keeps its own reference to the server for the length of the call.

void TOpenWaiter::Perform() {
  const auto server = Server();
  Node().DoOpen(*server);
}

void TSynchronizeWaiter::Perform() {
  const auto server = Server();
  Node().DoSynchronize(*server);
}

void TDeleteWaiter::Perform() {
  const auto server = Server();
  Node().DoDelete(*server);
}

bool TRenameWaiter::SameAs(const TWaiter& other) const {
  const auto* rename = dynamic_cast<const TRenameWaiter*>(&other);
  return rename != nullptr && rename->new_name_ == new_name_;
}

void TRenameWaiter::Perform() {
  const auto server = Server();
  Node().DoRename(*server, new_name_);
}

void TCreateLocalWaiter::Perform() {
  const auto server = Server();
  Node().DoCreateLocal(*server);
}

bool TClearCacheWaiter::SameAs(const TWaiter& other) const {
  const auto* clear = dynamic_cast<const TClearCacheWaiter*>(&other);
  return clear != nullptr && clear->force_ == force_;
}

void TClearCacheWaiter::Perform() {
  const auto server = Server();
  Node().DoClearCache(*server, force_);
}

void TUploadFreshWaiter::Perform() {
  const auto server = Server();
  Node().DoUploadFresh(*server);
}

}  // namespace ravelo
