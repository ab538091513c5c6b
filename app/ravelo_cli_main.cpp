// ravelo-cli: every action of the window from a terminal, for scripts,
// cron jobs and servers without a display.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/queued_main_thread.h"
#include "project/cli.h"
#include "project/cli_signals.h"

int main(int argc, char** argv) {
  // Before any other thread, so that every thread inherits the mask.
  const ravelo::TCliSignals signals;
  ravelo::TQueuedMainThread main_thread;
  ravelo::SetMainThread(&main_thread);

  ravelo::TCliEnvironment environment(std::cout, std::cerr);
  environment.GetEnv = [](const char* name) { return std::getenv(name); };
  environment.ProgressLine = ::isatty(STDERR_FILENO) == 1;
  environment.Signals = &signals.Count();
  const int status = ravelo::RunCli(std::vector<std::string>(argv + 1, argv + argc), environment);
  ravelo::SetMainThread(nullptr);
  return status;
}
