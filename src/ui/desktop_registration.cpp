#include "ui/desktop_registration.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

extern char** environ;

namespace ravelo {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMimePackage =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
    "  <mime-type type=\"application/x-ravelo-project\">\n"
    "    <comment>Ravelo Project</comment>\n"
    "    <glob pattern=\"*.rvlp\"/>\n"
    "  </mime-type>\n"
    "</mime-info>\n";

// Writes the file under a temporary name and links it into place, so that a
// file someone else wrote meanwhile is kept and no half file is ever seen.
// False when the file exists.
bool WriteIfMissing(const fs::path& file, std::string_view content) {
  if (fs::exists(fs::symlink_status(file))) return false;
  fs::create_directories(file.parent_path());
  const fs::path temporary =
      file.parent_path() / ("." + file.filename().string() + ".new" + std::to_string(::getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << content;
    out.flush();
    if (!out)
      throw fs::filesystem_error("Cannot write", temporary,
                                 std::make_error_code(std::errc::io_error));
  }
  const int linked = ::link(temporary.c_str(), file.c_str());
  const int error = errno;
  fs::remove(temporary);
  if (linked == 0) return true;
  if (error == EEXIST) return false;
  throw fs::filesystem_error("Cannot create", file, std::error_code(error, std::system_category()));
}

// Runs the tool with its output discarded and waits for it; a missing tool
// or its failure changes nothing.
void RunIfInstalled(const char* tool, const fs::path& folder) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string argument = folder.string();
  std::vector<char*> argv{const_cast<char*>(tool), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, tool, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

fs::path UserDataFolder() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (data_home != nullptr && data_home[0] == '/') return data_home;
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : "") / ".local" / "share";
}

std::string DesktopExecLine(std::string_view program) {
  // Inside the quotes the command line escapes " ` $ and \ with a backslash;
  // the entry's string syntax then doubles every backslash again, and "%"
  // is written "%%".
  std::string line = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$') {
      line += "\\\\";
      line += c;
    } else if (c == '\\') {
      line += "\\\\\\\\";
    } else if (c == '%') {
      line += "%%";
    } else if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return line + "\" %f";
}

TRegistration RegisterProjectFileType(std::string_view program) {
  const fs::path data = UserDataFolder();
  TRegistration done;
  done.MimeTypeWritten = WriteIfMissing(data / "mime" / "packages" / "ravelo.xml", kMimePackage);
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Ravelo\n"
      "Comment=FTP program with one view of local and remote folders\n"
      "Exec=" +
      DesktopExecLine(program) +
      "\n"
      "Icon=folder-remote\n"
      "Terminal=false\n"
      "Categories=Network;FileTransfer;\n"
      "MimeType=" +
      std::string(kProjectMimeType) + ";\n";
  done.DesktopEntryWritten = WriteIfMissing(data / "applications" / "ravelo.desktop", entry);
  if (done.MimeTypeWritten) RunIfInstalled("update-mime-database", data / "mime");
  if (done.DesktopEntryWritten) RunIfInstalled("update-desktop-database", data / "applications");
  return done;
}

}  // namespace ravelo
