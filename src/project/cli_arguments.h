#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "net/ftp_connection_modes.h"

namespace ravelo {

// Bad usage of ravelo-cli: exit status 2, the message and the usage text.
class ECliUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TCliCommand : int {
  ccNew,
  ccShow,
  ccStatus,
  ccSync,
  ccUploadFresh,
  ccOpen,
  ccDelete,
  ccClearCache,
  ccMkdir,
  ccTouch,
  ccRename,
  ccResolve,
  ccWatch,
  ccTrust,
};

// The conflict dialog's three answers.
enum TCliAnswer : int { caNone, caDeleteLocal, caIdentical, caCopy };

// A PATH argument: relative to the local cache root, names joined by "/";
// "." (and an empty list of names) is the root.
struct TCliPath {
  std::string Text;                // as given
  std::vector<std::string> Names;  // each a valid node name
};

struct TCliArguments {
  bool Help = false;  // -h or --help: the usage text on standard output
  TCliCommand Command = ccStatus;
  std::string Project;
  std::vector<TCliPath> Paths;
  std::string NewName;  // rename
  TCliAnswer Answer = caNone;
  bool Recursive = false;  // status -r
  bool NoLaunch = false;   // open --no-launch
  bool Force = false;      // clear-cache --force: drop local changes too
  // new
  std::string Host;
  std::string Login = "anonymous";
  std::string Remote;
  bool AutoUploadFresh = true;
  TFtpDataMode DataMode = dmAutomatic;
  TFtpTlsMode TlsMode = tmIfOffered;
  // trust: the certificate's SHA-256 fingerprint, 64 upper-case hex digits
  std::string Fingerprint;
};

// Parses the arguments after the program's name. Options may stand
// anywhere after the command; "--" ends them. Throws ECliUsage.
TCliArguments ParseCliArguments(const std::vector<std::string>& arguments);

// A PATH argument: empty names and "." are skipped, so "./docs/" is
// "docs"; ".." and names no node may bear throw ECliUsage. The escapes
// CliEscape writes are read back, so a path printed can be passed again.
TCliPath ParseCliPath(std::string_view text);

// The path as ravelo-cli prints it: the names joined by "/", escaped; "."
// for the root.
std::string CliPathText(const TCliPath& path);

// The usage text, ending with a new line.
const char* CliUsage();

}  // namespace ravelo
