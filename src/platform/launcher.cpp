#include "platform/launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace ravelo {

namespace {

// Owns the spawn attributes and file actions for the length of one launch.
class TSpawnSetup {
 public:
  TSpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  TSpawnSetup(const TSpawnSetup&) = delete;
  TSpawnSetup& operator=(const TSpawnSetup&) = delete;

  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

bool TSpawnLauncher::Launch(const std::vector<std::string>& argv) {
  if (argv.empty() || argv.front().empty()) return false;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  TSpawnSetup setup;
  // A session of its own: the program outlives us and ignores our terminal's
  // signals, as a program started by the desktop would.
  // No signal blocked: the mask is inherited, and a launching thread may
  // block signals it takes another way (ravelo-cli blocks SIGINT and
  // SIGTERM and waits for them).
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&setup.attributes_, &none);
  posix_spawnattr_setflags(&setup.attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // Sockets and files of ours are none of its business.
  posix_spawn_file_actions_addclosefrom_np(&setup.actions_, 3);
#endif
  pid_t pid = 0;
  if (posix_spawnp(&pid, args.front(), &setup.actions_, &setup.attributes_, args.data(), environ) !=
      0)
    return false;
  std::thread([pid] {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace ravelo
