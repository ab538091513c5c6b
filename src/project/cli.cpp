#include "project/cli.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "device/syn_device.h"
#include "model/children_iterator.h"
#include "model/list_order.h"
#include "model/syn_display.h"
#include "project/cli_arguments.h"
#include "project/cli_session.h"
#include "project/cli_text.h"
#include "sync/local_copy.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {

namespace {

// The project file exists or cannot be made: no project is written.
struct TNewRefused {
  std::string Message;
  int Status;
};

// Takes the file's name with an empty file readable by its owner only, so
// that no other program's file of that name is ever replaced.
void ReserveProjectFile(const std::string& file_name) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(file_name).parent_path(), error);
  if (error) throw TNewRefused{error.message(), 1};
  const int fd =
      ::open(file_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int code = errno;
    if (code == EEXIST) throw TNewRefused{"a file of that name exists; it is left alone", 2};
    throw TNewRefused{std::generic_category().message(code), 1};
  }
  ::close(fd);
}

int RunNew(const TCliArguments& arguments, const TCliEnvironment& env) {
  const std::string file_name = std::filesystem::absolute(arguments.Project).string();
  const char* password = env.GetEnv ? env.GetEnv("RAVELO_PASSWORD") : nullptr;
  try {
    ReserveProjectFile(file_name);
  } catch (const TNewRefused& refused) {
    env.Err << "ravelo-cli: " << CliEscape(arguments.Project) << ": " << refused.Message << '\n';
    return refused.Status;
  }
  std::string failure;
  try {
    TProjectOptions options;
    options.Client = env.Client;
    options.Watch = env.Watch;
    const auto project = TProject::Create(arguments.Host, arguments.Login, password ? password : "",
                                          arguments.Remote, file_name, std::move(options));
    project->SetDataMode(arguments.DataMode);
    project->SetTlsMode(arguments.TlsMode);
    // A new project connects when the window opens it, as one made there.
    const TSaveResult saved = project->Save({arguments.AutoUploadFresh, true});
    if (!saved) failure = saved.Error;
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (failure.empty()) return 0;
  ::unlink(file_name.c_str());
  env.Err << "ravelo-cli: " << CliEscape(arguments.Project) << ": " << CliEscape(failure) << '\n';
  return 1;
}

// Loads the whole project file, so that a damaged one is refused too; none,
// with a message, when it cannot be.
std::unique_ptr<TProject> LoadProject(const TCliArguments& arguments, const TCliEnvironment& env) {
  try {
    return TProject::CreateFromFile(std::filesystem::absolute(arguments.Project).string());
  } catch (const std::exception& error) {
    env.Err << "ravelo-cli: " << CliEscape(arguments.Project) << ": " << CliEscape(error.what())
            << '\n';
    return nullptr;
  }
}

const char* DataModeText(TFtpDataMode mode) {
  return mode == dmPassive ? "passive" : mode == dmActive ? "active" : "auto";
}

const char* TlsModeText(TFtpTlsMode mode) {
  return mode == tmRequire ? "require" : mode == tmIfOffered ? "try" : "off";
}

int RunShow(const TCliArguments& arguments, const TCliEnvironment& env) {
  const std::unique_ptr<TProject> project = LoadProject(arguments, env);
  if (!project) return 2;
  const TProjectHeader header = project->Header();
  const auto flag = [](bool on) { return on ? "yes" : "no"; };
  env.Out << "host: " << CliEscape(header.Host) << '\n'
          << "login: " << CliEscape(header.Login) << '\n'
          << "remote: " << CliEscape(header.RemotePath) << '\n'
          << "auto-upload-fresh: " << flag(header.AutoUploadFresh) << '\n'
          << "connected: " << flag(header.Connected) << '\n'
          << "data-mode: " << DataModeText(header.DataMode) << '\n'
          << "tls: " << TlsModeText(header.TlsMode) << '\n'
          << "tls-fingerprint: "
          << (header.AcceptedFingerprint.empty() ? "none" : header.AcceptedFingerprint) << '\n'
          << std::flush;
  return env.Out ? 0 : 1;
}

// Accepts a certificate for the project; the file keeps its flags.
int RunTrust(const TCliArguments& arguments, const TCliEnvironment& env) {
  const std::unique_ptr<TProject> project = LoadProject(arguments, env);
  if (!project) return 2;
  project->AcceptFingerprint(arguments.Fingerprint);
  const TProjectHeader header = project->Header();
  const TSaveResult saved = project->Save({header.AutoUploadFresh, header.Connected});
  if (saved) return 0;
  env.Err << "ravelo-cli: " << CliEscape(arguments.Project) << ": " << CliEscape(saved.Error)
          << '\n';
  return 1;
}

// The named nodes, held; none when a PATH is unknown or the run was
// interrupted.
std::vector<TNodeHold> ResolveAll(TCliSession& session, const std::vector<TCliPath>& paths,
                                  bool open_folders) {
  std::vector<TNodeHold> nodes;
  bool all = true;
  for (const TCliPath& path : paths) {
    TNodeHold node = session.Resolve(path, open_folders);
    if (session.Interrupted()) return {};
    all = all && static_cast<bool>(node);
    nodes.push_back(std::move(node));
  }
  if (!all) nodes.clear();
  return nodes;
}

std::vector<TCliPath> OrRoot(const std::vector<TCliPath>& paths) {
  return paths.empty() ? std::vector<TCliPath>{TCliPath{".", {}}} : paths;
}

bool IsFolder(const TNodeHold& node) {
  return node.As<TSynFolder>() != nullptr;
}

// The children in the file list's order: folders first, then by name.
std::vector<TNodeHold> SortedChildren(TNode& folder) {
  std::vector<TNodeHold> children;
  for (auto it = folder.GetChildren(); !it->Done();) children.emplace_back(it->Next());
  std::sort(children.begin(), children.end(), [](const TNodeHold& a, const TNodeHold& b) {
    return CompareListItems(IsFolder(a), a->Name(), IsFolder(b), b->Name()) < 0;
  });
  return children;
}

// Opens every folder below, one level at a time, each level's folders
// together.
void OpenSubtree(TCliSession& session, TSynFolder& top) {
  std::vector<THold<TSynFolder>> level;
  level.emplace_back(TNodeHold(top));
  while (!level.empty() && !session.Interrupted()) {
    std::vector<THold<TSynFolder>> next;
    for (const THold<TSynFolder>& folder : level) {
      for (TNodeHold& child : SortedChildren(*folder)) {
        if (IsFolder(child)) next.emplace_back(std::move(child));
      }
    }
    session.OpenFolders(next);
    level = std::move(next);
  }
}

void PrintChildren(TCliSession& session, TNode& folder, bool recursive) {
  for (const TNodeHold& child : SortedChildren(folder)) {
    session.PrintState(*child);
    if (recursive && IsFolder(child)) PrintChildren(session, *child, true);
  }
}

void RunStatus(TCliSession& session, const TCliArguments& arguments) {
  const std::vector<TNodeHold> nodes = ResolveAll(session, OrRoot(arguments.Paths), true);
  if (arguments.Recursive) {
    for (const TNodeHold& node : nodes) {
      if (auto* folder = node.As<TSynFolder>()) OpenSubtree(session, *folder);
    }
  }
  if (session.Interrupted()) return;
  for (const TNodeHold& node : nodes) {
    if (IsFolder(node)) {
      PrintChildren(session, *node, arguments.Recursive);
    } else {
      session.PrintState(*node);
    }
  }
}

// Starts one operation on every named node and waits for them all.
template <class Start>
std::vector<TNodeHold> RunOnEach(TCliSession& session, const std::vector<TCliPath>& paths,
                                 Start start) {
  std::vector<TNodeHold> nodes = ResolveAll(session, paths, false);
  for (const TNodeHold& node : nodes) start(*node);
  session.WaitForOperations();
  return nodes;
}

void RunSync(TCliSession& session, const TCliArguments& arguments) {
  const auto nodes = RunOnEach(session, arguments.Paths, [](TNode& node) { node.Synchronize(); });
  if (session.Interrupted()) return;
  for (const TNodeHold& node : nodes) session.PrintState(*node);
}

void RunOpen(TCliSession& session, const TCliArguments& arguments) {
  // A folder is opened on the way (Resolve); a file downloads when needed
  // and is launched.
  for (const TNodeHold& node : ResolveAll(session, arguments.Paths, true)) {
    if (!IsFolder(node)) node->Open();
  }
  session.WaitForOperations();
}

// Create File and Create Folder, with the name the PATH gives.
template <class T>
void RunCreate(TCliSession& session, const TCliArguments& arguments) {
  const TCliPath& path = arguments.Paths.front();
  const TNodeHold parent = session.Resolve(path, true, path.Names.size() - 1);
  auto* folder = parent.As<TSynFolder>();
  if (folder == nullptr || session.Interrupted()) return;
  try {
    // A name the tree holds (in any letter case) is the tree's error.
    folder->MakeChild<T>(path.Names.back()).CreateLocal();
  } catch (const std::exception& error) {
    session.Error(CliPathText(path), error.what());
  }
  session.WaitForOperations();
}

void RunResolve(TCliSession& session, const TCliArguments& arguments) {
  const std::vector<TNodeHold> nodes = ResolveAll(session, arguments.Paths, false);
  if (nodes.empty()) return;
  auto* file = nodes.front().As<TSynFile>();
  const TNodeState state = nodes.front()->GetState();
  // As the window's Resolve: a file whose state is "Unknown" or "Ambigous".
  if (file == nullptr || (state != nsUnknown && state != nsAmbiguous)) {
    session.Error(*nodes.front(), "Cannot Resolve In State " + StateText(state));
    return;
  }
  try {
    switch (arguments.Answer) {
      case caDeleteLocal:
        file->ClearCache(true);  // the user chose to drop the local copy
        break;
      case caIdentical:
        file->MarkSynchronized();
        file->Display()->NodeChanged(*file);
        break;
      default:
        // The folder watcher brings both names into the tree; the window
        // does not tell a failed rename, a script must learn of it.
        RenameLocalCopy(session.Project().LocalRoot(), *file);
        break;
    }
  } catch (const std::exception& error) {
    session.Error(*file, error.what());
  }
  session.WaitForOperations();
}

void RunWatch(TCliSession& session, const TCliArguments& arguments) {
  const std::vector<TNodeHold> nodes = ResolveAll(session, OrRoot(arguments.Paths), true);
  if (nodes.empty()) return;
  if (!IsFolder(nodes.front())) {
    session.Error(*nodes.front(), "Only A Folder Can Be Watched");
    session.Fail(2);
    return;
  }
  // Opening it made it the device's current folder, whose fresh files the
  // folder watcher uploads after each change.
  session.WatchUntilSignal(CliNodePath(*nodes.front()).value_or("."));
}

void RunCommand(TCliSession& session, const TCliArguments& arguments) {
  switch (arguments.Command) {
    case ccStatus:
      return RunStatus(session, arguments);
    case ccSync:
      return RunSync(session, arguments);
    case ccUploadFresh:
      session.ReportUploads(true);
      RunOnEach(session, OrRoot(arguments.Paths), [](TNode& node) { node.UploadFresh(); });
      return;
    case ccOpen:
      return RunOpen(session, arguments);
    case ccDelete:
      RunOnEach(session, arguments.Paths, [](TNode& node) { node.Delete(); });
      return;
    case ccClearCache:
      RunOnEach(session, arguments.Paths, [&](TNode& node) { node.ClearCache(arguments.Force); });
      return;
    case ccMkdir:
      return RunCreate<TSynFolder>(session, arguments);
    case ccTouch:
      return RunCreate<TSynFile>(session, arguments);
    case ccRename: {
      const std::string& new_name = arguments.NewName;
      RunOnEach(session, arguments.Paths, [&](TNode& node) { node.Rename(new_name); });
      return;
    }
    case ccResolve:
      return RunResolve(session, arguments);
    case ccWatch:
      return RunWatch(session, arguments);
    default:
      return;
  }
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, const TCliEnvironment& environment) {
  TCliArguments parsed;
  try {
    parsed = ParseCliArguments(arguments);
  } catch (const ECliUsage& error) {
    environment.Err << "ravelo-cli: " << error.what() << '\n' << CliUsage();
    return 2;
  }
  if (parsed.Help) {
    environment.Out << CliUsage() << std::flush;
    return 0;
  }
  if (parsed.Command == ccNew) return RunNew(parsed, environment);
  if (parsed.Command == ccShow) return RunShow(parsed, environment);
  if (parsed.Command == ccTrust) return RunTrust(parsed, environment);
  TCliSession session(environment);
  if (session.Open(parsed.Project, parsed.NoLaunch) && session.Connect()) {
    RunCommand(session, parsed);
  }
  return session.Close();
}

}  // namespace ravelo
