#include "model/structure_lock.h"

namespace ravelo {

std::mutex& StructureLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace ravelo
