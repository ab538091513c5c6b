#include "net/ftp_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "net/ftp_client.h"
#include "net/ftp_date_time.h"
#include "platform/cli_escape.h"

namespace ravelo {

namespace {

struct TOptions {
  std::string User = "anonymous";
  bool Ascii = false;
  // As a new project has them.
  TFtpDataMode DataMode = dmAutomatic;
  TFtpTlsMode TlsMode = tmIfOffered;
  std::string Fingerprint;
  std::string Directory;
  bool HasDirectory = false;
  std::string Host;
  std::string Command;
  std::vector<std::string> Arguments;
};

struct TUsageError {
  std::string Message;
};

std::size_t ArgumentCount(const std::string& command) {
  if (command == "ls" || command == "raw-ls") return 0;
  if (command == "get" || command == "put" || command == "mv") return 2;
  if (command == "mkdir" || command == "rmdir" || command == "rm") return 1;
  throw TUsageError{"unknown command '" + command + "'"};
}

TOptions ParseArguments(const std::vector<std::string>& arguments) {
  TOptions options;
  std::size_t i = 0;
  const auto value_of = [&](const std::string& option) -> const std::string& {
    if (i + 1 >= arguments.size()) throw TUsageError{"option " + option + " needs a value"};
    return arguments[++i];
  };
  for (; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-u") {
      options.User = value_of(argument);
    } else if (argument == "-a") {
      options.Ascii = true;
    } else if (argument == "-C") {
      options.Directory = value_of(argument);
      options.HasDirectory = true;
    } else if (argument == "--passive" || argument == "--active" || argument == "--auto") {
      options.DataMode = argument == "--passive"  ? dmPassive
                         : argument == "--active" ? dmActive
                                                  : dmAutomatic;
    } else if (argument == "--tls=require" || argument == "--tls=try" || argument == "--tls=off") {
      options.TlsMode = argument == "--tls=require" ? tmRequire
                        : argument == "--tls=try"   ? tmIfOffered
                                                    : tmPlain;
    } else if (argument == "--tls-fingerprint") {
      options.Fingerprint = NormalizeFingerprint(value_of(argument));
      if (options.Fingerprint.empty()) {
        throw TUsageError{"--tls-fingerprint needs 64 hex digits (a SHA-256 fingerprint)"};
      }
    } else if (argument == "--") {
      ++i;
      break;
    } else if (argument.size() > 1 && argument.front() == '-') {
      throw TUsageError{"unknown option " + argument};
    } else {
      break;
    }
  }
  if (i + 2 > arguments.size()) throw TUsageError{"a host and a command are needed"};
  options.Host = arguments[i++];
  options.Command = arguments[i++];
  options.Arguments.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
  if (options.Arguments.size() != ArgumentCount(options.Command)) {
    throw TUsageError{"wrong number of arguments for '" + options.Command + "'"};
  }
  return options;
}

char TypeLetter(std::uint8_t item_type) {
  switch (item_type) {
    case itDirectory:
      return 'd';
    case itSymbolicLink:
      return 'l';
    case itOther:
      return 'o';
    default:
      return 'f';
  }
}

void PrintItems(const TFtpListItems& items, std::ostream& out) {
  for (const TFtpListItem& item : items) {
    const TFtpDateTimeParts when = DecodeFtpDateTime(item.ModifiedDate);
    char date[32];
    // Seconds only where the server gave them (MLSD).
    if (item.TimePrecision == tpExact) {
      std::snprintf(date, sizeof(date), "%04d-%02d-%02d %02d:%02d:%02d", when.Year, when.Month,
                    when.Day, when.Hour, when.Minute, when.Second);
    } else {
      std::snprintf(date, sizeof(date), "%04d-%02d-%02d %02d:%02d", when.Year, when.Month, when.Day,
                    when.Hour, when.Minute);
    }
    out << TypeLetter(item.ItemType) << ' ' << item.Size << ' ' << date << ' '
        << CliEscape(item.FileName) << '\n';
  }
}

// A download goes to a new file beside the target and replaces it only when
// complete, so a failed transfer leaves the old copy and no partial file.
void Download(TFtpClient& client, const std::string& remote, const std::string& local) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path target(local);
  std::filesystem::path temporary;
  for (int attempt = 0;; ++attempt) {
    temporary = target;
    temporary.replace_filename("." + target.filename().string() + ".ravelo-" +
                               std::to_string(getpid()) + "-" + std::to_string(counter++));
    const int handle = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (handle >= 0) {
      close(handle);
      break;
    }
    if (errno != EEXIST || attempt > 100) {
      throw EFtpCommand("Cannot Write Local File '" + local + "'.");
    }
  }
  try {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) throw EFtpCommand("Cannot Write Local File '" + local + "'.");
    client.Get(remote, file);
    file.close();
    if (!file) throw EFtpCommand("Cannot Write Local File '" + local + "'.");
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) throw EFtpCommand("Cannot Write Local File '" + local + "'.");
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw;
  }
}

void Run(TFtpClient& client, const TOptions& options, std::ostream& out) {
  const auto& arguments = options.Arguments;
  if (options.HasDirectory) client.ChangeDir(options.Directory);
  if (options.Command == "ls" || options.Command == "raw-ls") {
    std::vector<std::string> lines;
    client.List(lines);
    if (options.Command == "ls") {
      PrintItems(client.DirectoryListing(), out);
    } else {
      // A server's bytes never reach the terminal as control characters.
      for (const auto& line : lines) out << CliEscape(line) << '\n';
    }
  } else if (options.Command == "get") {
    Download(client, arguments[0], arguments[1]);
  } else if (options.Command == "put") {
    // A folder opens as a stream too, but fails only once STOR has made an
    // empty file on the server.
    std::ifstream file(arguments[0], std::ios::binary);
    if (!file || !std::filesystem::is_regular_file(arguments[0]))
      throw EFtpCommand("Cannot Open Local File '" + arguments[0] + "'.");
    client.Put(file, arguments[1]);
  } else if (options.Command == "mkdir") {
    client.MakeDir(arguments[0]);
  } else if (options.Command == "rmdir") {
    client.RemoveDir(arguments[0]);
  } else if (options.Command == "rm") {
    client.Delete(arguments[0]);
  } else if (options.Command == "mv") {
    client.Rename(arguments[0], arguments[1]);
  }
  out.flush();
}

}  // namespace

const char* FtpCommandUsage() {
  return "usage: ravelo-ftp [OPTIONS] HOST[:PORT] COMMAND [ARGS...]\n"
         "  -u USER   login name (default: anonymous); the password is read from the\n"
         "            environment variable RAVELO_FTP_PASSWORD (default: empty)\n"
         "  -a        ASCII transfers (default: binary)\n"
         "  -C DIR    change to DIR on the server before the command\n"
         "  --auto | --passive | --active\n"
         "            data connections: passive, active once the server refuses\n"
         "            passive (default); passive only; active only\n"
         "  --tls=try | --tls=require | --tls=off\n"
         "            FTP over TLS when the server offers it (default); always;\n"
         "            never (plain FTP)\n"
         "  --tls-fingerprint HEX\n"
         "            accept the server certificate with this SHA-256 fingerprint\n"
         "            (64 hex digits) although it does not verify\n"
         "commands:\n"
         "  ls                    one line per item: TYPE SIZE DATE TIME NAME\n"
         "                        (the time with seconds when the server gave them)\n"
         "  raw-ls                the listing lines as the server sent them\n"
         "  get REMOTE LOCAL      download\n"
         "  put LOCAL REMOTE      upload\n"
         "  mkdir NAME | rmdir NAME | rm NAME | mv OLD NEW\n";
}

int RunFtpCommand(const std::vector<std::string>& arguments, const TFtpEnvLookup& environment,
                  std::ostream& out, std::ostream& err) {
  if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
    out << FtpCommandUsage();
    return 0;
  }
  TOptions options;
  try {
    options = ParseArguments(arguments);
  } catch (const TUsageError& error) {
    err << "ravelo-ftp: " << error.Message << '\n' << FtpCommandUsage();
    return 1;
  }
  TFtpClient client;
  TFtpSettings& settings = client.Settings();
  settings.Host = options.Host;
  settings.Username = options.User;
  const char* password = environment ? environment("RAVELO_FTP_PASSWORD") : nullptr;
  settings.Password = password != nullptr ? password : "";
  settings.DataMode = options.DataMode;
  settings.TlsMode = options.TlsMode;
  settings.AcceptedFingerprint = options.Fingerprint;
  settings.PreciseTimes = true;
  // Bigger pieces than the program's default move bulk data with fewer calls.
  settings.RecvBufferSize = std::size_t{256} * 1024;
  settings.SendBufferSize = std::size_t{256} * 1024;
  client.SetTransferType(options.Ascii ? ftASCII : ftBinary);
  try {
    client.Connect();
    Run(client, options, out);
  } catch (const std::exception& error) {
    // A reply's text is the server's: one escaped line, as ravelo-cli writes it.
    std::string message = error.what();
    while (!message.empty() && message.back() == '\n') message.pop_back();
    err << CliEscape(message) << '\n';
    try {
      client.Quit();
    } catch (const EFtp&) {
      // The failure above is the one to report.
    }
    return 1;
  }
  try {
    client.Quit();
  } catch (const EFtp&) {
    // Done already; a lost goodbye changes nothing.
  }
  return 0;
}

}  // namespace ravelo
