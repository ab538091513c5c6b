#include "model/server_assigner.h"

#include <atomic>

#include "model/server.h"
#include "model/waiter.h"

namespace ravelo {

namespace {
std::atomic<IServerAssigner*> installed_assigner{nullptr};
}

void TNoServerAssigner::AssignServer(TWaiter& waiter) {
  waiter.SetServer(NoServer());
}

IServerAssigner& ServerAssigner() {
  static TNoServerAssigner no_assigner;
  IServerAssigner* assigner = installed_assigner.load();
  return assigner != nullptr ? *assigner : no_assigner;
}

void SetServerAssigner(IServerAssigner* assigner) {
  installed_assigner.store(assigner);
}

}  // namespace ravelo
