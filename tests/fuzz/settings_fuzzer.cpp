// Feeds arbitrary text to the settings file parser. Whatever it accepts must
// survive a write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/settings_error.h"
#include "settings/settings_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ravelo::TSettingsTree tree;
  try {
    tree = ravelo::ParseSettings(text, "settings");
  } catch (const ravelo::ESettingsDamaged&) {
    return 0;
  }
  const std::string written = ravelo::FormatSettings(tree);
  const auto again = ravelo::ParseSettings(written, "settings");  // must not raise
  if (!(again == tree) || ravelo::FormatSettings(again) != written) std::abort();
  return 0;
}
