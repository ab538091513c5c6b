#include "sync/sync_project.h"

#include <atomic>
#include <stdexcept>

namespace ravelo {

namespace {
std::atomic<ISyncProject*> current_project{nullptr};
}

ISyncProject& SyncProject() {
  ISyncProject* project = current_project.load();
  if (project == nullptr) throw std::logic_error("No project is installed");
  return *project;
}

void SetSyncProject(ISyncProject* project) {
  current_project.store(project);
}

}  // namespace ravelo
