#pragma once

#include <mutex>

namespace ravelo {

// Guards the tree's structure: every node's name and parent link, every
// branch's children, name index and iterators, and every iterator's branch
// and position. Held only for the few steps of one structure operation,
// never while calling out (display, watcher, main thread), so it serializes
// no node operation. Internal to the model library.
std::mutex& StructureLock();

}  // namespace ravelo
