#pragma once

namespace ravelo {

class TWaiter;

// What a waiter needs of the synchronization device: a server. The device
// implements it and installs itself while a project is open.
class IServerAssigner {
 public:
  virtual ~IServerAssigner() = default;

  // Called in the waiter's own thread when its operation first needs a
  // server. Chooses a server and queues the waiter on it; the server calls
  // waiter.SetServer when the waiter's turn comes (possibly before this
  // returns) and sets the waiter's end handler to learn when it ends.
  virtual void AssignServer(TWaiter& waiter) = 0;
};

// Gives every waiter NoServer at once, so an operation that needs a server
// fails with ENoServer. In force while no device is installed.
class TNoServerAssigner : public IServerAssigner {
 public:
  void AssignServer(TWaiter& waiter) override;
};

// The installed assigner, or a TNoServerAssigner. Any thread.
IServerAssigner& ServerAssigner();
// Installs one (none goes back to the TNoServerAssigner); not owned. The
// assigner must outlive every waiter that may still ask it.
void SetServerAssigner(IServerAssigner* assigner);

}  // namespace ravelo
