#include "settings/settings_error.h"

#include <cstring>

namespace ravelo {

namespace {

std::string ValueText(const std::string& value) {
  return value.empty() ? std::string("Default Value") : "Value '" + value + "'";
}

}  // namespace

ESettingsValueNotFound::ESettingsValueNotFound(const std::string& key, const std::string& value)
    : ESettings(ValueText(value) + " Not Found In Key '" + key + "'") {}

ESettingsWrongKind::ESettingsWrongKind(const std::string& key, const std::string& value,
                                       const std::string& kind)
    : ESettings(ValueText(value) + " In Key '" + key + "' Is Not " + kind) {}

ESettingsInvalidKey::ESettingsInvalidKey(const std::string& key)
    : ESettings("Invalid Key '" + key + "'") {}

ESettingsDamaged::ESettingsDamaged(const std::string& file_name, std::size_t line,
                                   const std::string& reason)
    : ESettings("Settings File '" + file_name + "' Is Damaged In Line " + std::to_string(line) +
                ": " + reason),
      file_name_(file_name),
      line_(line),
      reason_(reason) {}

ESettingsFileError::ESettingsFileError(const std::string& action, const std::string& file_name,
                                       int error_number)
    : ESettings("Can't " + action + " Settings File '" + file_name +
                "': " + std::strerror(error_number)),
      error_number_(error_number) {}

}  // namespace ravelo
