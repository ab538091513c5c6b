#pragma once

#include <string>

namespace ravelo {

// The few local file operations the nodes make themselves. Any thread; they
// throw std::system_error (std::filesystem::filesystem_error) with the
// system's message.

// Creates the folder and every missing folder above it.
void CreateFolderChain(const std::string& path);
// Creates an empty file, truncating an existing one.
void CreateEmptyFile(const std::string& path);
// Moves a file or folder, never over an existing one; answers whether it
// moved. Callers ignore a failed move, as the rename of a node does.
bool MoveWithoutReplacing(const std::string& from, const std::string& to);

}  // namespace ravelo
