#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

namespace ravelo {

// Joins a thread that may be waiting for a hand-over to the main thread:
// called in the main thread, it serves hand-overs until `ended` is true,
// then joins. In any other thread (or with no main thread installed) it
// joins at once.
void JoinServingHandOvers(std::thread& thread, const std::atomic<bool>& ended);

// One connect or disconnect thread of the sync device: runs its work, then
// hands its end handler to the main thread, with the work's exception if it
// threw, and ends once the handler has run there.
//
// Threads: made and destroyed in the main thread. The destructor waits for
// the thread, serving hand-overs meanwhile (the end handler among them), so
// that the handler never outlives what it refers to; the handler must
// therefore not destroy this object.
class TConnectionThread {
 public:
  using TWork = std::function<void()>;
  using TDone = std::function<void(std::exception_ptr error)>;

  // Starts the thread at once.
  TConnectionThread(TWork work, TDone done);
  ~TConnectionThread();
  TConnectionThread(const TConnectionThread&) = delete;
  TConnectionThread& operator=(const TConnectionThread&) = delete;

 private:
  void Run();

  const TWork work_;
  const TDone done_;
  std::atomic<bool> ended_{false};
  std::thread thread_;  // last: starts when everything else is ready
};

// The device's two kinds: DoConnect then ConnectorDone; DoDisconnect then
// DisconnectorDone.
using TConnector = TConnectionThread;
using TDisconnector = TConnectionThread;

}  // namespace ravelo
