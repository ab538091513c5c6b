#pragma once

#include <string>
#include <string_view>

namespace ravelo {

// The few local file operations the nodes make themselves. Paths are
// relative to the local root (names joined by "/") and are reached through
// TLocalFolder, so no symbolic link below the root is followed. Any thread;
// they throw std::system_error with the system's message.

// Creates the folder and every missing folder above it.
void CreateFolderChain(const std::string& root, std::string_view relative);
// Creates an empty file (and its missing folders) unless a file of that
// name exists already; an existing file is never truncated, so an
// operation that runs again cannot destroy what was written meanwhile.
// Anything but a regular file in its place fails with EEXIST.
void CreateEmptyFile(const std::string& root, std::string_view relative);
// Whether anything (a file, a folder, a link) bears the name in the folder;
// false when the folder itself is missing.
bool LocalEntryExists(const std::string& root, std::string_view folder, std::string_view name);
// Renames an entry of the folder, never over an existing one (EEXIST).
void MoveWithoutReplacing(const std::string& root, std::string_view folder, std::string_view from,
                          std::string_view to);
// Opens a regular file for reading (ELOOP for a link); the caller closes
// the descriptor.
int OpenLocalFileForReading(const std::string& root, std::string_view relative);

}  // namespace ravelo
