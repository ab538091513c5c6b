#include "sync/sync_project.h"

#include <atomic>
#include <stdexcept>

#include "settings/extension.h"
#include "settings/extension_error.h"
#include "settings/extensions.h"

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

TFtpTransferType TransferTypeOf(std::string_view name) {
  try {
    return SyncProject().Extensions().Find(ExtractExtension(name)).TransferType;
  } catch (const ENoExtension&) {
    return ftBinary;
  }
}

}  // namespace ravelo
