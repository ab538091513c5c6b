#pragma once

namespace ravelo {

class TNode;

// Told when a node's local side becomes known (so that its local folder can
// be watched for changes) and when the node leaves the tree. The sync device
// implements it. Both calls come in any thread: whichever marks the node or
// removes it.
class IPresenceWatcher {
 public:
  virtual ~IPresenceWatcher() = default;

  virtual void Watch(TNode& node) = 0;
  virtual void Unwatch(TNode& node) = 0;
};

class TNilPresenceWatcher : public IPresenceWatcher {
 public:
  void Watch(TNode&) override {}
  void Unwatch(TNode&) override {}
};

}  // namespace ravelo
