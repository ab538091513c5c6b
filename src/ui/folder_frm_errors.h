#pragma once

#include <stdexcept>
#include <string>

namespace ravelo {

// Failures of the main window's project handling.
class EFolderFrm : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The user chose no project (cancelled the chooser or left its folder empty).
class EProjectNotChosen : public EFolderFrm {
 public:
  EProjectNotChosen() : EFolderFrm("Project Is Not Chosen") {}
};

// A known project's file is gone; folder ends with "/".
class EProjectDoesntExist : public EFolderFrm {
 public:
  explicit EProjectDoesntExist(std::string folder)
      : EFolderFrm("Project '" + folder + "' Doesn't Exist"), folder_(std::move(folder)) {}
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

// The chooser met a project file that ends inside its header.
class EInvalidProjectFormat : public std::runtime_error {
 public:
  EInvalidProjectFormat() : std::runtime_error("Неверный Формат Проекта") {}
};

}  // namespace ravelo
