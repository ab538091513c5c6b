#pragma once

#include <memory>

namespace ravelo {

// Base of objects that hand out interface references to themselves without
// being owned by them: the sync device gives its IPresenceWatcher to every
// node, and must not die when the last node drops it. Its owner frees it, and
// must keep it alive as long as any reference it handed out is still used.
//
// The references are shared_ptrs built with the aliasing constructor over an
// empty owner: they point at the object but share no control block, so taking
// or dropping one does nothing at all (use_count() is 0).
class TOwnedObject {
 public:
  virtual ~TOwnedObject() = default;
  TOwnedObject(const TOwnedObject&) = delete;
  TOwnedObject& operator=(const TOwnedObject&) = delete;

  // This object as interface I, or an empty pointer when it does not
  // implement I. Dropping the result never frees the object.
  template <class I>
  std::shared_ptr<I> GetInterface() {
    I* self = dynamic_cast<I*>(this);
    if (self == nullptr) return nullptr;
    return std::shared_ptr<I>(std::shared_ptr<void>(), self);
  }

 protected:
  TOwnedObject() = default;
};

}  // namespace ravelo
