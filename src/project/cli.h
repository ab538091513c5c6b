#pragma once

#include <string>
#include <vector>

#include "project/cli_environment.h"

namespace ravelo {

// ravelo-cli: every action of the window, from a terminal. arguments
// excludes the program's name (the usage text is CliUsage). Each command
// on a site opens the project, connects, opens the folders on the way to
// its PATHs, does its work, waits until every operation it started (and
// those a folder fans out) has ended, saves the project and disconnects.
//
// Standard output: STATE<TAB>PATH lines (status, sync), UPLOADED<TAB>PATH
// (upload-fresh, watch), "key: value" lines (show). Standard error:
// ERROR<TAB>PATH<TAB>message per failed node or unknown PATH, and
// "ravelo-cli: " lines for the rest. Answers the exit status: 0 success, 1
// a failed operation, connection or save, or an interruption, 2 bad usage,
// an unknown PATH or a project file that cannot be loaded.
//
// Main thread (an IMainThread must be installed); one run at a time.
int RunCli(const std::vector<std::string>& arguments, const TCliEnvironment& environment);

}  // namespace ravelo
