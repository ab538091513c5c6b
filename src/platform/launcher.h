#pragma once

#include <string>
#include <vector>

namespace ravelo {

// Stands in for the desktop shell's "open": starts a program and does not
// wait for it. Any thread (file nodes launch from their worker threads).
class ILauncher {
 public:
  virtual ~ILauncher() = default;

  // Starts argv[0] (looked up in PATH when it holds no "/") with the other
  // items as its arguments, each passed whole: no shell ever sees them.
  // Answers whether the program could be started.
  virtual bool Launch(const std::vector<std::string>& argv) = 0;
};

// Starts programs with posix_spawn in a session of their own, with the
// program's own environment and no descriptors but 0-2. Each started program
// is reaped by a detached thread that waits for it, so none is left a
// zombie. Stateless: any thread.
class TSpawnLauncher : public ILauncher {
 public:
  bool Launch(const std::vector<std::string>& argv) override;
};

}  // namespace ravelo
