#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/node.h"
#include "project/cli_arguments.h"
#include "project/cli_environment.h"
#include "project/project.h"

namespace ravelo {

class TCliDisplay;
class TSynFolder;

// One run of ravelo-cli on a project: opens it, connects, finds the nodes
// the PATHs name (opening each folder on the way), waits for the
// operations the command starts, and saves and frees the project at the
// end. It keeps the exit status: 0, raised to 1 by a failed operation, a
// failed connection or save, or an interruption, and to 2 by an unknown
// PATH or a project file that cannot be loaded.
//
// Waiting: every wait serves the main thread's hand-overs until no
// operation is left (TWaiter::LiveCount, which counts those a folder fans
// out), showing the progress line each quarter second. A SIGINT or SIGTERM
// (TCliEnvironment::Signals) interrupts: the device disconnects, which ends
// the queued operations, and the run goes on to save.
//
// The device's "Auto Upload Fresh" is off except while watching, so that
// a change the folder watcher reports during a command uploads nothing
// behind the script's back. The project file keeps the flags it had
// (TProjectFlags).
//
// Threads: the main thread only (the installed IMainThread's).
class TCliSession {
 public:
  explicit TCliSession(const TCliEnvironment& environment);
  ~TCliSession();
  TCliSession(const TCliSession&) = delete;
  TCliSession& operator=(const TCliSession&) = delete;

  // Loads the project file; false, with status 2, when it cannot be.
  bool Open(const std::string& file_name, bool no_launch);
  // Connects and waits for the operations the connection starts; false,
  // with status 1, when it failed or was interrupted.
  bool Connect();
  // The node the path names, every folder on the way opened (and the node
  // itself when open_folder and it is a folder); empty, with an ERROR line
  // and status 2, when there is none, and empty when interrupted. With
  // depth, the node its first depth names name, which must be a folder.
  TNodeHold Resolve(const TCliPath& path, bool open_folder,
                    std::size_t depth = static_cast<std::size_t>(-1));
  // Opens the folders together and waits for them.
  void OpenFolders(const std::vector<THold<TSynFolder>>& folders);
  void WaitForOperations();
  // Watching: UPLOADED lines and "Auto Upload Fresh" on until the next
  // signal, then waits for the uploads that run.
  void WatchUntilSignal(std::string_view shown_path);
  // Saves and frees the project; answers the exit status.
  int Close();

  bool Interrupted() const { return interrupted_; }
  TProject& Project() { return *project_; }
  TSynDevice& Device() { return project_->Device(); }

  // Output, each one line; the progress line is cleared first.
  void Print(std::string_view line);
  void PrintState(TNode& node);
  void Message(std::string_view text);  // "ravelo-cli: text" on standard error
  void Error(std::string_view path, std::string_view message, int status = 1);
  void Error(const TNode& node, std::string_view message);
  void Fail(int status);
  void ReportUploads(bool on) { report_uploads_ = on; }

 private:
  class TWatcher;

  // Serves hand-overs until done(), taking new signals as interruptions.
  void Pump(const std::function<bool()>& done);
  bool NewSignal() const;
  void Interrupt();
  void Tick();
  void ClearProgress();
  void AttachDisplay(TNode& node);

  const TCliEnvironment& env_;
  std::unique_ptr<TProject> project_;
  TProjectFlags flags_;  // as the file had them
  std::shared_ptr<TCliDisplay> display_;
  std::shared_ptr<TWatcher> watcher_;
  int status_ = 0;
  int signals_seen_ = 0;
  bool interrupted_ = false;
  bool report_uploads_ = false;
  bool progress_shown_ = false;
};

}  // namespace ravelo
