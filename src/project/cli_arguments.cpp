#include "project/cli_arguments.h"

#include <algorithm>
#include <array>

#include "net/socket.h"
#include "net/tls.h"
#include "project/cli_text.h"
#include "sync/node_name.h"

namespace ravelo {

namespace {

struct TCommandSpec {
  std::string_view Name;
  TCliCommand Command;
  std::size_t MinPaths;
  std::size_t MaxPaths;
  bool RootAllowed;  // may a PATH be "."
};

constexpr std::size_t kMany = static_cast<std::size_t>(-1);

// PATH counts exclude PROJECT (and rename's NEWNAME).
constexpr std::array<TCommandSpec, 14> kCommands{{
    {"new", ccNew, 0, 0, true},
    {"show", ccShow, 0, 0, true},
    {"status", ccStatus, 0, kMany, true},
    {"sync", ccSync, 1, kMany, true},
    {"upload-fresh", ccUploadFresh, 0, kMany, true},
    {"open", ccOpen, 1, kMany, true},
    {"delete", ccDelete, 1, kMany, false},
    {"clear-cache", ccClearCache, 1, kMany, false},
    {"mkdir", ccMkdir, 1, 1, false},
    {"touch", ccTouch, 1, 1, false},
    {"rename", ccRename, 1, 1, false},
    {"resolve", ccResolve, 1, 1, false},
    {"watch", ccWatch, 0, 1, true},
    {"trust", ccTrust, 0, 0, true},
}};

const TCommandSpec& FindCommand(const std::string& name) {
  for (const TCommandSpec& spec : kCommands) {
    if (spec.Name == name) return spec;
  }
  throw ECliUsage("unknown command '" + name + "'");
}

bool IsHelp(const std::string& argument) {
  return argument == "-h" || argument == "--help" || argument == "help";
}

// "--name=value" or "--name value"; answers whether argument is the option.
bool TakeValue(const std::string& option, const std::vector<std::string>& arguments, std::size_t& i,
               std::string& value) {
  const std::string& argument = arguments[i];
  if (argument == option) {
    if (i + 1 >= arguments.size()) throw ECliUsage("option " + option + " needs a value");
    value = arguments[++i];
    return true;
  }
  if (argument.starts_with(option + "=")) {
    value = argument.substr(option.size() + 1);
    return true;
  }
  return false;
}

// Takes one option of the command; false when it is none of them.
bool TakeOption(TCliArguments& result, const std::vector<std::string>& arguments, std::size_t& i) {
  const std::string& argument = arguments[i];
  switch (result.Command) {
    case ccNew: {
      if (argument == "--no-auto-upload") {
        result.AutoUploadFresh = false;
        return true;
      }
      if (argument == "--passive" || argument == "--active" || argument == "--auto") {
        result.DataMode = argument == "--passive"  ? dmPassive
                          : argument == "--active" ? dmActive
                                                   : dmAutomatic;
        return true;
      }
      std::string tls;
      if (TakeValue("--tls", arguments, i, tls)) {
        if (tls != "require" && tls != "try" && tls != "off") {
          throw ECliUsage("--tls takes require, try or off, not " + CliEscape(tls));
        }
        result.TlsMode = tls == "require" ? tmRequire : tls == "try" ? tmIfOffered : tmPlain;
        return true;
      }
      return TakeValue("--host", arguments, i, result.Host) ||
             TakeValue("--login", arguments, i, result.Login) ||
             TakeValue("--remote", arguments, i, result.Remote);
    }
    case ccStatus:
      if (argument != "-r" && argument != "--recursive") return false;
      result.Recursive = true;
      return true;
    case ccClearCache:
      if (argument != "--force") return false;
      result.Force = true;
      return true;
    case ccOpen:
      if (argument != "--no-launch") return false;
      result.NoLaunch = true;
      return true;
    case ccResolve: {
      const TCliAnswer answer = argument == "--delete-local" ? caDeleteLocal
                                : argument == "--identical"  ? caIdentical
                                : argument == "--copy"       ? caCopy
                                                             : caNone;
      if (answer == caNone) return false;
      if (result.Answer != caNone && result.Answer != answer) {
        throw ECliUsage("resolve takes one of --delete-local, --identical and --copy");
      }
      result.Answer = answer;
      return true;
    }
    default:
      return false;
  }
}

void CheckNew(const TCliArguments& result) {
  if (result.Host.empty()) throw ECliUsage("new needs --host HOST[:PORT]");
  try {
    if (SplitHostPort(result.Host, 21).Host.empty()) throw ECliUsage("");
  } catch (const std::exception&) {
    throw ECliUsage("--host " + CliEscape(result.Host) + " is no HOST[:PORT]");
  }
}

}  // namespace

TCliPath ParseCliPath(std::string_view text) {
  if (text.empty()) throw ECliUsage("an empty PATH names nothing; \".\" is the project's folder");
  if (text.front() == '/') {
    throw ECliUsage("PATH " + CliEscape(text) + " is not relative to the project's folder");
  }
  TCliPath path{std::string(text), {}};
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t slash = std::min(text.find('/', start), text.size());
    const std::string name = CliUnescape(text.substr(start, slash - start));
    start = slash + 1;
    if (name.empty() || name == ".") continue;
    if (!IsValidNodeName(name)) {
      throw ECliUsage("PATH " + CliEscape(text) + " leaves the project's folder or holds a name " +
                      "no file may bear");
    }
    path.Names.push_back(name);
  }
  return path;
}

std::string CliPathText(const TCliPath& path) {
  if (path.Names.empty()) return ".";
  std::string text;
  for (const std::string& name : path.Names) {
    if (!text.empty()) text += '/';
    text += CliEscape(name);
  }
  return text;
}

TCliArguments ParseCliArguments(const std::vector<std::string>& arguments) {
  TCliArguments result;
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (IsHelp(argument)) {
      result.Help = true;
      return result;
    }
  }
  if (arguments.empty()) throw ECliUsage("a command is needed");
  const TCommandSpec& spec = FindCommand(arguments.front());
  result.Command = spec.Command;

  std::vector<std::string> positional;
  bool options_ended = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (!options_ended && argument.size() > 1 && argument.front() == '-') {
      if (!TakeOption(result, arguments, i)) {
        throw ECliUsage("unknown option " + argument + " for " + std::string(spec.Name));
      }
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.empty()) throw ECliUsage(std::string(spec.Name) + " needs a PROJECT file");
  result.Project = positional.front();
  positional.erase(positional.begin());
  if (spec.Command == ccRename) {
    if (positional.size() != 2) throw ECliUsage("rename needs PATH and NEWNAME");
    result.NewName = CliUnescape(positional.back());
    if (!IsValidNodeName(result.NewName)) {
      throw ECliUsage("NEWNAME " + CliEscape(result.NewName) + " is no name a file may bear");
    }
    positional.pop_back();
  }
  if (spec.Command == ccTrust) {
    if (positional.size() != 1) throw ECliUsage("trust needs PROJECT and a FINGERPRINT");
    result.Fingerprint = NormalizeFingerprint(positional.back());
    if (result.Fingerprint.empty()) {
      throw ECliUsage("FINGERPRINT " + CliEscape(positional.back()) +
                      " is no SHA-256 fingerprint (64 hex digits)");
    }
    positional.pop_back();
  }
  if (positional.size() < spec.MinPaths || positional.size() > spec.MaxPaths) {
    throw ECliUsage("wrong number of PATHs for " + std::string(spec.Name));
  }
  for (const std::string& text : positional) {
    TCliPath path = ParseCliPath(text);
    if (path.Names.empty() && !spec.RootAllowed) {
      throw ECliUsage(std::string(spec.Name) + " does not take the project's folder itself");
    }
    result.Paths.push_back(std::move(path));
  }
  if (spec.Command == ccNew) CheckNew(result);
  if (spec.Command == ccResolve && result.Answer == caNone) {
    throw ECliUsage("resolve needs --delete-local, --identical or --copy");
  }
  return result;
}

const char* CliUsage() {
  return "usage: ravelo-cli COMMAND PROJECT [OPTIONS] [PATH...]\n"
         "  new PROJECT --host HOST[:PORT] [--login LOGIN] [--remote PATH] [--no-auto-upload]\n"
         "              [--auto|--passive|--active] [--tls=try|require|off]\n"
         "                          a new project file; the password is read from\n"
         "                          RAVELO_PASSWORD, the login defaults to anonymous;\n"
         "                          data connections: passive, active once the server\n"
         "                          refuses passive (--auto, default), passive or active\n"
         "                          only; TLS: if the server offers it (default), always,\n"
         "                          never\n"
         "  show PROJECT            host, login, remote path, both flags, data mode,\n"
         "                          TLS mode and the accepted certificate\n"
         "  trust PROJECT FINGERPRINT\n"
         "                          accept the server certificate of this SHA-256\n"
         "                          fingerprint (64 hex digits, as a refusal shows it)\n"
         "  status PROJECT [-r] [PATH...]\n"
         "                          STATE<TAB>PATH for each child of each PATH\n"
         "                          (default: .); -r: of every subfolder too\n"
         "  sync PROJECT PATH...    synchronize, then STATE<TAB>PATH of each PATH\n"
         "  upload-fresh PROJECT [PATH...]\n"
         "                          upload what changed here; UPLOADED<TAB>PATH each\n"
         "  open PROJECT [--no-launch] PATH...\n"
         "  delete PROJECT PATH...  the server copy and the local copy\n"
         "  clear-cache PROJECT [--force] PATH...\n"
         "                          the local copy only; a \"Fresh\", \"Ambigous\" or\n"
         "                          \"Unknown\" one only with --force\n"
         "  mkdir PROJECT PATH      a new local folder\n"
         "  touch PROJECT PATH      a new empty local file\n"
         "  rename PROJECT PATH NEWNAME\n"
         "  resolve PROJECT PATH --delete-local|--identical|--copy\n"
         "  watch PROJECT [PATH]    upload the fresh files of PATH on every local\n"
         "                          change, UPLOADED<TAB>PATH each, until SIGINT or\n"
         "                          SIGTERM\n"
         "PATH is relative to the folder of PROJECT (the local cache), with \"/\"\n"
         "between names; \".\" is that folder. Errors: ERROR<TAB>PATH<TAB>message on\n"
         "standard error. Exit status: 0 success; 1 an operation, the connection or\n"
         "the save failed; 2 bad usage, an unknown PATH or a damaged project file.\n";
}

}  // namespace ravelo
