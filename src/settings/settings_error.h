#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace ravelo {

// Failures of the settings store. A key that cannot be opened, created or
// deleted is answered by the operation's result instead; these are the rest.
class ESettings : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A read of a value that does not exist (or whose key does not exist).
class ESettingsValueNotFound : public ESettings {
 public:
  ESettingsValueNotFound(const std::string& key, const std::string& value);
};

// A read of a value that exists with another kind (a string read as a boolean).
class ESettingsWrongKind : public ESettings {
 public:
  ESettingsWrongKind(const std::string& key, const std::string& value, const std::string& kind);
};

// A write to a key path that cannot name a key (an empty name between two "\").
class ESettingsInvalidKey : public ESettings {
 public:
  explicit ESettingsInvalidKey(const std::string& key);
};

// The settings file cannot be parsed. Line counts from 1.
class ESettingsDamaged : public ESettings {
 public:
  ESettingsDamaged(const std::string& file_name, std::size_t line, const std::string& reason);

  const std::string& FileName() const { return file_name_; }
  std::size_t Line() const { return line_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string file_name_;
  std::size_t line_;
  std::string reason_;
};

// The settings file or its folder cannot be read or written; carries the
// system's reason.
class ESettingsFileError : public ESettings {
 public:
  ESettingsFileError(const std::string& action, const std::string& file_name, int error_number);

  int ErrorNumber() const { return error_number_; }

 private:
  int error_number_;
};

}  // namespace ravelo
