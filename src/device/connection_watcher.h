#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace ravelo {

// Hears what the sync device does with its connection, its transfers and
// its folder watching; the main window implements it.
//
// Threads: Connected, Disconnected, ConnectFailed and WatchFailed come in
// the main thread. TransfersStarted, and the TransfersEnded just before it,
// come in the worker thread that queues a transfer; TransfersEnded also in
// the main thread (progress polling, after a disconnect). The two transfer
// calls come under the device's transfer lock, in the order they happened:
// they must return without waiting for the main thread (post to it).
class IConnectionWatcher {
 public:
  virtual ~IConnectionWatcher() = default;

  // A connect thread ended without error.
  virtual void Connected() = 0;
  // A disconnect thread ended.
  virtual void Disconnected() = 0;
  // A connect thread ended with an error; its message is the text to show.
  // error is valid during the call only.
  virtual void ConnectFailed(const std::exception& error) = 0;
  // A file transfer was queued while neither transfer server had work; base
  // is the progress position at that moment.
  virtual void TransfersStarted(std::int64_t base) = 0;
  // Both transfer servers are idle.
  virtual void TransfersEnded() = 0;
  // A local folder is not watched (or a change in it could not be read):
  // its changes are not seen until it is watched again. The message names
  // the folder and the reason.
  virtual void WatchFailed(const std::string& message) = 0;
};

// The watcher of a device nobody shows.
class TNilWatcher : public IConnectionWatcher {
 public:
  void Connected() override {}
  void Disconnected() override {}
  void ConnectFailed(const std::exception&) override {}
  void TransfersStarted(std::int64_t) override {}
  void TransfersEnded() override {}
  void WatchFailed(const std::string&) override {}
};

}  // namespace ravelo
