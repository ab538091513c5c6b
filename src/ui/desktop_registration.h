#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ravelo {

inline constexpr std::string_view kProjectMimeType = "application/x-ravelo-project";

// $XDG_DATA_HOME, or ~/.local/share when the variable is unset or not an
// absolute path.
std::filesystem::path UserDataFolder();

// The desktop entry's Exec value for the program: the path quoted for the
// entry's command line, then the file argument.
std::string DesktopExecLine(std::string_view program);

// Makes the desktop know project files: the MIME type for *.rvlp under
// mime/packages/ and a ravelo.desktop entry that opens them with program
// under applications/, both in UserDataFolder(). Each file is written only
// when missing, so the user's own edits and another registration are kept;
// after a write the desktop's database tool for it runs, if installed, and
// its failure is ignored. Answers what was written. Throws
// std::filesystem::filesystem_error when a file cannot be written.
struct TRegistration {
  bool MimeTypeWritten = false;
  bool DesktopEntryWritten = false;
};
TRegistration RegisterProjectFileType(std::string_view program);

}  // namespace ravelo
